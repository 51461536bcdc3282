#include "registration.h"

#include <oleauto.h>

#include <string>

#include "Tellarix_h.h"
#include "com.h"

namespace tlx::boothctl {
namespace {

#define TLX_APPID L"{5EC19B8E-F57A-40E2-94BC-3B7A5D6E979D}"
#define TLX_CLASS_KEY L"CLSID\\{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}"

enum class Data { Text, KeyOnly, ModulePath, ModuleBitmap };

struct Entry {
    const wchar_t* key;
    const wchar_t* name;  // nullptr: the key's default value
    Data kind;
    const wchar_t* text;
};

const Entry kAppIdEntries[] = {
    {L"AppID\\" TLX_APPID, nullptr, Data::Text, L"Tellarix"},
    {L"AppID\\Tellarix.DLL", L"AppID", Data::Text, TLX_APPID},
};

// The values under the class key name the ProgIDs without the "TellarixCabine." prefix of the
// ProgID keys; existing installations read them that way.
const Entry kClassEntries[] = {
    {L"TellarixCabine.TellarixCabine.1", nullptr, Data::Text, L"TellarixCabine"},
    {L"TellarixCabine.TellarixCabine.1\\CLSID", nullptr, Data::Text,
     L"{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}"},
    {L"TellarixCabine.TellarixCabine", nullptr, Data::Text, L"TellarixCabine Class"},
    {L"TellarixCabine.TellarixCabine\\CLSID", nullptr, Data::Text,
     L"{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}"},
    {L"TellarixCabine.TellarixCabine\\CurVer", nullptr, Data::Text, L"TellarixCabine.1"},
    {TLX_CLASS_KEY, nullptr, Data::Text, L"TellarixCabine"},
    {TLX_CLASS_KEY L"\\ProgID", nullptr, Data::Text, L"TellarixCabine.1"},
    {TLX_CLASS_KEY L"\\VersionIndependentProgID", nullptr, Data::Text, L"TellarixCabine"},
    {TLX_CLASS_KEY L"\\Programmable", nullptr, Data::KeyOnly, nullptr},
    {TLX_CLASS_KEY L"\\InprocServer32", nullptr, Data::ModulePath, nullptr},
    {TLX_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", Data::Text, L"Apartment"},
    {TLX_CLASS_KEY L"\\Control", nullptr, Data::KeyOnly, nullptr},
    {TLX_CLASS_KEY L"\\ToolboxBitmap32", nullptr, Data::ModuleBitmap, nullptr},
    {TLX_CLASS_KEY L"\\MiscStatus", nullptr, Data::Text, L"0"},
    {TLX_CLASS_KEY L"\\MiscStatus\\1", nullptr, Data::Text, L"131473"},
    {TLX_CLASS_KEY L"\\TypeLib", nullptr, Data::Text, L"{4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}"},
    {TLX_CLASS_KEY L"\\Version", nullptr, Data::Text, L"1.0"},
};

// Replaced as a whole at registration: the class key and with it Programmable, Control and
// ToolboxBitmap32.
const wchar_t* const kForcedKeys[] = {TLX_CLASS_KEY};

const wchar_t* const kRemovedClassKeys[] = {L"TellarixCabine.TellarixCabine.1",
                                            L"TellarixCabine.TellarixCabine", TLX_CLASS_KEY};
const wchar_t* const kRemovedAppIdKeys[] = {L"AppID\\" TLX_APPID, L"AppID\\Tellarix.DLL"};

class RegKey {
  public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Put() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT Write(const Entry& e, const std::wstring& module) {
    RegKey key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, e.key, 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.Put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    std::wstring data;
    switch (e.kind) {
        case Data::KeyOnly:
            return S_OK;
        case Data::Text:
            data = e.text;
            break;
        case Data::ModulePath:
            data = module;
            break;
        case Data::ModuleBitmap:
            data = module + L", 102";
            break;
    }
    rc = RegSetValueExW(key.Get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

template <std::size_t N>
HRESULT WriteAll(const Entry (&entries)[N], const std::wstring& module) {
    for (const Entry& e : entries)
        if (HRESULT hr = Write(e, module); FAILED(hr)) return hr;
    return S_OK;
}

// A key that is already gone counts as removed.
HRESULT DeleteTree(const wchar_t* key) {
    LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
        rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterEmbeddedTypeLibrary(const std::wstring& module) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    std::wstring folder = module.substr(0, module.find_last_of(L"\\/") + 1);
    std::wstring path = module;
    return RegisterTypeLib(library.Get(), path.data(), folder.data());
}

HRESULT UnregisterEmbeddedTypeLibrary(const std::wstring& module) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    if (FAILED(hr = library->GetLibAttr(&attr))) return hr;
    const TLIBATTR a = *attr;
    library->ReleaseTLibAttr(attr);
    // Nothing to remove when the library was never registered (unregistering twice).
    RegKey probe;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\{4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}", 0,
                      KEY_READ, probe.Put()) != ERROR_SUCCESS)
        return S_OK;
    return UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

}  // namespace

HRESULT RegisterBoothControl() {
    const std::wstring module = ModulePath();
    if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = WriteAll(kAppIdEntries, module); FAILED(hr)) return hr;
    for (const wchar_t* key : kForcedKeys)
        if (HRESULT hr = DeleteTree(key); FAILED(hr)) return hr;
    if (HRESULT hr = WriteAll(kClassEntries, module); FAILED(hr)) return hr;
    return RegisterEmbeddedTypeLibrary(module);
}

HRESULT UnregisterBoothControl() {
    const std::wstring module = ModulePath();
    if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
    for (const wchar_t* key : kRemovedClassKeys)
        if (HRESULT hr = DeleteTree(key); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterEmbeddedTypeLibrary(module); FAILED(hr)) return hr;
    for (const wchar_t* key : kRemovedAppIdKeys)
        if (HRESULT hr = DeleteTree(key); FAILED(hr)) return hr;
    return S_OK;
}

}  // namespace tlx::boothctl
