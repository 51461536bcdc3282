#include "boothctl_env.h"

#include <gtest/gtest.h>

namespace tlx::test {

std::wstring LibraryPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"Tellarix.dll";
}

HMODULE Library() {
    static HMODULE module = LoadLibraryW(LibraryPath().c_str());
    return module;
}

HRESULT CallExport(const char* name) {
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(Library(), name)));
    return fn ? fn() : E_NOTIMPL;
}

void Pump(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
}

namespace {
class OleEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OleEnvironment);
}  // namespace

}  // namespace tlx::test
