// The in-process server as the system and a container see it before hosting: registration,
// its removal, and the object's interfaces.
#include <gtest/gtest.h>

#include <set>

#include "boothctl/registry_table.h"
#include "tests/win/boothctl/host.h"
#include "win32/handles.h"

namespace tlx::test {
namespace {

win32::UniqueKey Open(const std::wstring& path) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
    return win32::UniqueKey(key);
}

// Every key below `path` (itself included) as "key" and every value as "key|name=data".
void Dump(const std::wstring& path, std::set<std::wstring>& out) {
    const win32::UniqueKey key = Open(path);
    if (!key) return;
    out.insert(path);
    wchar_t name[256], data[1024];
    for (DWORD i = 0, n = 256, type = 0, size = sizeof data;
         RegEnumValueW(key.Get(), i, name, &n, nullptr, &type, reinterpret_cast<BYTE*>(data),
                       &size) == ERROR_SUCCESS;
         ++i, n = 256, size = sizeof data)
        out.insert(path + L"|" + name + L"=" + (type == REG_SZ ? data : L"<not text>"));
    for (DWORD i = 0, n = 256;
         RegEnumKeyExW(key.Get(), i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, n = 256)
        Dump(path + L"\\" + name, out);
}

// Everything below the keys registration writes, and the type library's registration.
std::set<std::wstring> Registered() {
    namespace table = boothctl::registry;
    std::set<std::wstring> out;
    for (const auto& e : table::kAppIdEntries) Dump(win32::WideFromAnsi(e.key), out);
    for (const auto& e : table::kClassEntries) Dump(win32::WideFromAnsi(e.key), out);
    Dump(win32::WideFromAnsi(table::kTypeLibraryKey), out);
    return out;
}

TEST(Registration, RepeatedSweepsStaleKeysAndRemovalLeavesTheSharedParents) {
    const auto first = Registered();
    // Leftovers of an older installation below the class key go; nothing is written twice.
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT,
                            L"CLSID\\{4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}\\Control\\Old", &stale),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(Registered(), first);
    for (const wchar_t* prog_id :
         {L"TellarixCabine.TellarixCabine", L"TellarixCabine.TellarixCabine.1"}) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TellarixCabine)) << prog_id;
    }

    ASSERT_EQ(CallExport("DllUnregisterServer"), S_OK);
    EXPECT_TRUE(Registered().empty());
    EXPECT_TRUE(Open(L"CLSID") && Open(L"AppID"));       // the shared parents stay
    EXPECT_EQ(CallExport("DllUnregisterServer"), S_OK);  // nothing left to remove
    ComPtr<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               none.PutVoid()),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);  // the other tests create by CLSID
}

TEST(ControlObject, AnswersTheEmbeddingInterfacesInTableOrderButNotItsEvents) {
    ComPtr<IUnknown> unk;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IUnknown, unk.PutVoid()));
    auto as = [](const ComPtr<IUnknown>& from, REFIID iid) {
        ComPtr<IUnknown> out;
        from->QueryInterface(iid, out.PutVoid());
        return out;
    };
    // One object behind them all; each group answered by one pointer, the first named's: where
    // two bases share a base interface, the table's order decides.
    // clang-format off
    const std::vector<const IID*> groups[] = {
        {&IID_ICabine, &IID_IDispatch}, {&IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject},
        {&IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceObject, &IID_IOleWindow},
        {&IID_IOleInPlaceActiveObject}, {&IID_IOleControl}, {&IID_IOleObject},
        {&IID_IPersistStreamInit, &IID_IPersist}, {&IID_ISupportErrorInfo},
        {&IID_IConnectionPointContainer}, {&IID_ISpecifyPropertyPages}, {&IID_IQuickActivate},
        {&IID_IPersistStorage}, {&IID_IDataObject},
        {&IID_IProvideClassInfo2, &IID_IProvideClassInfo}};
    // clang-format on
    for (const auto& group : groups) {
        const auto first = as(unk, *group[0]);
        ASSERT_TRUE(first) << &group - groups;
        EXPECT_EQ(as(first, IID_IUnknown).Get(), unk.Get());
        for (const IID* iid : group) EXPECT_EQ(as(unk, *iid).Get(), first.Get()) << &group - groups;
    }
    for (const IID* refused :
         {&DIID__ICabineEvents, &IID_IPersistPropertyBag, &IID_IOleInPlaceSite})
        EXPECT_FALSE(as(unk, *refused));
}

}  // namespace
}  // namespace tlx::test
