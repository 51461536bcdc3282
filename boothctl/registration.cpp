#include "boothctl/registration.h"

#include <oleauto.h>

#include <string>

#include "boothctl/registry_table.h"
#include "boothctl/resource.h"
#include "win32/com_ptr.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/text.h"

namespace tlx::boothctl {
namespace {

using registry::Data;
using registry::Entry;
using win32::WideFromAnsi;

static_assert(IDB_TOOLBOX == 102, "the toolbox picture the class key names");

HRESULT Write(const Entry& e, const std::wstring& module) {
    HKEY created = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, WideFromAnsi(e.key).c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &created, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const win32::UniqueKey key(created);
    if (e.kind == Data::KeyOnly) return S_OK;
    const std::wstring data = (e.kind == Data::Module ? module : L"") + WideFromAnsi(e.text);
    const std::wstring name = e.name ? WideFromAnsi(e.name) : L"";
    rc = RegSetValueExW(key.Get(), e.name ? name.c_str() : nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(rc);
}

template <std::size_t N>
HRESULT WriteAll(const Entry (&entries)[N], const std::wstring& module) {
    for (const Entry& e : entries)
        if (HRESULT hr = Write(e, module); FAILED(hr)) return hr;
    return S_OK;
}

// A key that is already gone counts as removed.
template <std::size_t N>
HRESULT DeleteTrees(const char* const (&keys)[N]) {
    for (const char* key : keys) {
        const std::wstring path = WideFromAnsi(key);
        LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
        if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
            rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(rc);
    }
    return S_OK;
}

HRESULT RegisterEmbeddedTypeLibrary(const std::wstring& module) {
    win32::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    std::wstring folder = module.substr(0, module.find_last_of(L"\\/") + 1);
    std::wstring path = module;
    return RegisterTypeLib(library.Get(), path.data(), folder.data());
}

HRESULT UnregisterEmbeddedTypeLibrary(const std::wstring& module) {
    win32::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    if (FAILED(hr = library->GetLibAttr(&attr))) return hr;
    const TLIBATTR a = *attr;
    library->ReleaseTLibAttr(attr);
    // Nothing to remove when the library was never registered (unregistering twice).
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, WideFromAnsi(registry::kTypeLibraryKey).c_str(), 0,
                      KEY_READ, &opened) != ERROR_SUCCESS)
        return S_OK;
    const win32::UniqueKey probe(opened);
    return UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

}  // namespace

HRESULT RegisterBoothControl() {
    const std::wstring module = win32::ThisModulePath();
    if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = WriteAll(registry::kAppIdEntries, module); FAILED(hr)) return hr;
    if (HRESULT hr = DeleteTrees(registry::kReplacedKeys); FAILED(hr)) return hr;
    if (HRESULT hr = WriteAll(registry::kClassEntries, module); FAILED(hr)) return hr;
    return RegisterEmbeddedTypeLibrary(module);
}

HRESULT UnregisterBoothControl() {
    const std::wstring module = win32::ThisModulePath();
    if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = DeleteTrees(registry::kRemovedClassKeys); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterEmbeddedTypeLibrary(module); FAILED(hr)) return hr;
    return DeleteTrees(registry::kRemovedAppIdKeys);
}

}  // namespace tlx::boothctl
