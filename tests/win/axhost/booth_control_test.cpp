// The container hosting the real booth control from the built Tellarix.dll: registered here, found
// through its class information, fed a call, and its Print button reaching our handler.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Tellarix_h.h"
#include "axhost/control_site.h"

using tellarix::ControlSite;
using tellarix::EventArgText;

namespace {

std::wstring g_dll;

// {4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}
const CLSID kBooth = {0x4A71734C, 0xE7A6, 0x4D2D, {0xBC, 0x2B, 0x6D, 0x8C, 0x04, 0xA8, 0x02, 0x81}};

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (GetTickCount64() < end);
}

HWND ChildOf(HWND root, const wchar_t* cls, const wchar_t* text) {
    struct Search {
        const wchar_t* cls;
        const wchar_t* text;
        HWND found;
    } s{cls, text, nullptr};
    EnumChildWindows(
        root,
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t buf[256];
            GetClassNameW(w, buf, 256);
            if (lstrcmpiW(buf, s->cls) != 0) return TRUE;
            if (s->text) {
                GetWindowTextW(w, buf, 256);
                if (lstrcmpW(buf, s->text) != 0) return TRUE;
            }
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct Bstr {
    BSTR b;
    explicit Bstr(const wchar_t* s) : b(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b); }
};

class BoothHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        dll_ = LoadLibraryW(g_dll.c_str());
        ASSERT_NE(dll_, nullptr) << "cannot load the booth control library";
        auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllRegisterServer")));
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"TellarixBoothHostTest";
        RegisterClassW(&wc);
        parent_ = CreateWindowExW(0, wc.lpszClassName, L"booth host",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 600,
                                  400, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
        PumpFor(50);
        if (dll_) {
            auto unreg = reinterpret_cast<HRESULT(WINAPI*)()>(
                reinterpret_cast<void*>(GetProcAddress(dll_, "DllUnregisterServer")));
            if (unreg) unreg();
        }
        CoFreeUnusedLibraries();
        OleUninitialize();
    }

    HRESULT CanUnload() const {
        auto can = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
        return can ? can() : E_NOTIMPL;
    }

    HMODULE dll_ = nullptr;
    HWND parent_ = nullptr;
};

TEST_F(BoothHostTest, PrintOnTheBoothReachesTheHandlerWithTheCallsText) {
    std::vector<std::wstring> printed;
    tellarix::SiteOptions options;
    options.wantAllKeys = true;
    options.visible = true;
    HRESULT hr = E_FAIL;
    // No event interface given: the booth's class information names it.
    auto site = ControlSite::Create(
        parent_, kBooth, RECT{5, 5, 275, 230}, 0,
        [&](DISPID id, DISPPARAMS* params) {
            if (id == 1) printed.push_back(EventArgText(params, 0).value_or(L"<no text>"));
            return S_OK;
        },
        options, &hr);
    ASSERT_NE(site, nullptr) << std::hex << hr;
    ASSERT_TRUE(site->EventsConnected());
    ASSERT_NE(site->ControlWindow(), nullptr);
    EXPECT_EQ(GetParent(site->ControlWindow()), site->Window());

    auto booth = site->QueryControl<ICabine>(IID_ICabine);
    ASSERT_TRUE(booth);
    Bstr name(L"Booth 7"), dest(L"Lagos"), desc(L"Nigeria mobile"), rate(L"0.20");
    short seconds = 75;
    double cost = 1.5;
    EXPECT_EQ(booth->SetCabineName(&name.b), S_OK);
    EXPECT_EQ(booth->CallDial(&dest.b, &desc.b, &rate.b), S_OK);
    EXPECT_EQ(booth->CallConnected(), S_OK);
    EXPECT_EQ(booth->CallFinished(&seconds, &cost), S_OK);
    PumpFor(100);

    // The operator selects the finished call and presses Print.
    HWND list = ChildOf(site->ControlWindow(), WC_LISTVIEWW, nullptr);
    HWND print = ChildOf(site->ControlWindow(), L"Button", L"Print");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(print, nullptr);
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    PumpFor(100);
    ASSERT_TRUE(IsWindowEnabled(print));
    PostMessageW(print, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(print, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpFor(200);

    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].rfind(L"Booth 7;", 0), 0u) << printed[0].c_str();
    EXPECT_NE(printed[0].find(L"Lagos"), std::wstring::npos);

    // Gone with the site: the booth's window and our wrapper.
    HWND wrapper = site->Window();
    booth.Reset();
    site.reset();
    EXPECT_FALSE(IsWindow(wrapper));
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
    EXPECT_EQ(CanUnload(), S_OK) << "a reference to the booth was left behind";
}

TEST_F(BoothHostTest, ComesDownAfterThePageWindowWentFirst) {
    // At exit the page windows may be gone before the booths are released.
    auto site = ControlSite::Create(parent_, kBooth, RECT{0, 0, 270, 225}, 0,
                                    [](DISPID, DISPPARAMS*) { return S_OK; });
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(CanUnload(), S_FALSE);
    DestroyWindow(parent_);
    parent_ = nullptr;
    PumpFor(50);
    site.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: axhost_booth_test <path of Tellarix.dll>\n");
        return 2;
    }
    g_dll = argv[1];
    if (!g_dll.empty() && g_dll[0] == L'/') {  // a Unix path under Wine
        for (auto& ch : g_dll)
            if (ch == L'/') ch = L'\\';
        g_dll = L"Z:" + g_dll;
    }
    return RUN_ALL_TESTS();
}
