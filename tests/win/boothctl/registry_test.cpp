// Registration writes exactly the control's keys, twice without duplicates, and removal leaves
// the shared parents in place.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host.h"

namespace tlx::test {
namespace {

const std::wstring kClassKey = L"CLSID\\{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}";
const std::wstring kAppId = L"AppID\\{5EC19B8E-F57A-40E2-94BC-3B7A5D6E979D}";
const std::wstring kProgIds[] = {L"TellarixCabine.TellarixCabine.1",
                                 L"TellarixCabine.TellarixCabine"};

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Every key below `path` (itself included) as "key" and every value as "key|name=data".
void Dump(const std::wstring& path, std::multiset<std::wstring>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out.insert(path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD name_len = 256, type = 0;
        BYTE data[2048];
        DWORD data_len = sizeof data;
        if (RegEnumValueW(key, i, name, &name_len, nullptr, &type, data, &data_len) !=
            ERROR_SUCCESS)
            break;
        std::wstring text = type == REG_SZ ? reinterpret_cast<wchar_t*>(data) : L"<not text>";
        out.insert(path + L"|" + name + L"=" + text);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD sub_len = 256;
        if (RegEnumKeyExW(key, i, sub, &sub_len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Dump(path + L"\\" + sub, out);
    }
    RegCloseKey(key);
}

std::multiset<std::wstring> DumpAll() {
    std::multiset<std::wstring> out;
    Dump(kAppId, out);
    Dump(L"AppID\\Tellarix.DLL", out);
    for (const auto& p : kProgIds) Dump(p, out);
    Dump(kClassKey, out);
    return out;
}

std::multiset<std::wstring> Expected() {
    const std::wstring module = LibraryPath();
    const std::wstring c = kClassKey;
    return {
        kAppId,
        kAppId + L"|=Tellarix",
        L"AppID\\Tellarix.DLL",
        L"AppID\\Tellarix.DLL|AppID={5EC19B8E-F57A-40E2-94BC-3B7A5D6E979D}",
        kProgIds[0],
        kProgIds[0] + L"|=TellarixCabine",
        kProgIds[0] + L"\\CLSID",
        kProgIds[0] + L"\\CLSID|={4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}",
        kProgIds[1],
        kProgIds[1] + L"|=TellarixCabine Class",
        kProgIds[1] + L"\\CLSID",
        kProgIds[1] + L"\\CLSID|={4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}",
        kProgIds[1] + L"\\CurVer",
        kProgIds[1] + L"\\CurVer|=TellarixCabine.1",
        c,
        c + L"|=TellarixCabine",
        c + L"\\ProgID",
        c + L"\\ProgID|=TellarixCabine.1",
        c + L"\\VersionIndependentProgID",
        c + L"\\VersionIndependentProgID|=TellarixCabine",
        c + L"\\Programmable",
        c + L"\\InprocServer32",
        c + L"\\InprocServer32|=" + module,
        c + L"\\InprocServer32|ThreadingModel=Apartment",
        c + L"\\Control",
        c + L"\\ToolboxBitmap32",
        c + L"\\ToolboxBitmap32|=" + module + L", 102",
        c + L"\\MiscStatus",
        c + L"\\MiscStatus|=0",
        c + L"\\MiscStatus\\1",
        c + L"\\MiscStatus\\1|=131473",
        c + L"\\TypeLib",
        c + L"\\TypeLib|={4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}",
        c + L"\\Version",
        c + L"\\Version|=1.0",
    };
}

std::string Narrow(const std::multiset<std::wstring>& s) {
    std::string out;
    for (const auto& w : s) out += std::string(w.begin(), w.end()) + "\n";
    return out;
}

TEST(Registration, TwiceGivesExactlyTheTableAndReplacesTheClassKey) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    // Leftovers of an older installation below the class key are swept away.
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Control\\Old").c_str(), 0,
                              nullptr, 0, KEY_WRITE, nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(Narrow(DumpAll()), Narrow(Expected()));
    EXPECT_TRUE(KeyExists(L"TypeLib\\{4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}\\1.0"));

    // The registered type library is the module's own.
    BSTR path = nullptr;
    ASSERT_HRESULT_SUCCEEDED(QueryPathOfRegTypeLib(LIBID_TellarixLib, 1, 0, 0, &path));
    EXPECT_EQ(_wcsicmp(path, LibraryPath().c_str()), 0);
    SysFreeString(path);
    // The toolbox picture the class points at is there.
    HBITMAP toolbox = LoadBitmapW(Library(), MAKEINTRESOURCEW(102));
    BITMAP bm{};
    EXPECT_TRUE(toolbox && GetObjectW(toolbox, sizeof bm, &bm) && bm.bmWidth == 16);
    DeleteObject(toolbox);
}

TEST(Registration, RemovalKeepsParentsAndIsRepeatable) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    ASSERT_EQ(CallExport("DllUnregisterServer"), S_OK);
    EXPECT_TRUE(DumpAll().empty()) << Narrow(DumpAll());
    EXPECT_FALSE(KeyExists(L"TypeLib\\{4DAF0B4D-93BB-48C1-8A57-F3695A0BDA46}"));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_EQ(CallExport("DllUnregisterServer"), S_OK);  // nothing left to remove

    // Unregistered, creation fails the platform's way.
    IUnknown* unk = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&unk)),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);  // the other tests create by CLSID
}

}  // namespace
}  // namespace tlx::test
