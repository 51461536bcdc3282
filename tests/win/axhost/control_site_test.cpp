// The console's ActiveX container hosting a probe control from this process.
#include "axhost/control_site.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "probe_control.h"

using tellarix::ControlSite;
using tellarix::EventArgText;
using tellarix::SiteOptions;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

RECT ClientRectIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring RealisedFontName(const wchar_t* face) {
    FONTDESC desc{
        sizeof desc, const_cast<LPOLESTR>(face), {}, FW_NORMAL, DEFAULT_CHARSET, FALSE, FALSE,
        FALSE};
    desc.cySize.int64 = 10 * 10000;
    IFont* font = nullptr;
    std::wstring name;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(&font))))
        return name;
    BSTR b = nullptr;
    if (SUCCEEDED(font->get_Name(&b)) && b) name = b;
    SysFreeString(b);
    font->Release();
    return name;
}

struct Event {
    DISPID id;
    std::wstring text;
};

class ControlSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        registration_ = std::make_unique<ProbeClassRegistration>();
        ProbeRegistry::Reset();
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TellarixAxhostTestParent";
        RegisterClassW(&wc);
        parent_ = CreateWindowExW(0, wc.lpszClassName, L"axhost test",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640,
                                  480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        Pump();
        registration_.reset();
        OleUninitialize();
    }

    std::unique_ptr<ControlSite> Host(const CLSID& clsid, SiteOptions options = {},
                                      HRESULT* hr = nullptr) {
        return ControlSite::Create(
            parent_, clsid, RECT{10, 20, 280, 245}, 77,
            [this](DISPID id, DISPPARAMS* params) {
                events_.push_back({id, EventArgText(params, 0).value_or(L"<none>")});
                return throwInHandler_ ? throw std::runtime_error("handler failed") : S_OK;
            },
            options, hr);
    }

    HWND parent_ = nullptr;
    std::unique_ptr<ProbeClassRegistration> registration_;
    std::vector<Event> events_;
    bool throwInHandler_ = false;
};

TEST_F(ControlSiteTest, ActivatesInPlaceInsideItsWrapperWindow) {
    auto site = Host(CLSID_ProbeControl);
    ASSERT_NE(site, nullptr);
    const ProbeState& probe = ProbeRegistry::Last();

    // The wrapper is the parent's child with the given id and cell; the control fills it.
    HWND wrapper = site->Window();
    EXPECT_EQ(GetParent(wrapper), parent_);
    EXPECT_EQ(GetDlgCtrlID(wrapper), 77);
    RECT cell = ClientRectIn(wrapper, parent_);
    EXPECT_EQ(cell.left, 10);
    EXPECT_EQ(cell.top, 20);
    EXPECT_EQ(cell.right - cell.left, 270);
    EXPECT_EQ(cell.bottom - cell.top, 225);
    ASSERT_NE(site->ControlWindow(), nullptr);
    EXPECT_EQ(site->ControlWindow(), probe.window);
    EXPECT_EQ(GetParent(site->ControlWindow()), wrapper);
    EXPECT_EQ(probe.activatedAt.right - probe.activatedAt.left, 270);
    EXPECT_EQ(probe.activatedAt.bottom - probe.activatedAt.top, 225);

    // A control that wants its site first gets it before it is initialised and activated.
    EXPECT_EQ(probe.IndexOf("SetClientSite"), 0);
    EXPECT_LT(probe.IndexOf("Advise"), probe.IndexOf("DoVerb"));
    EXPECT_TRUE(site->EventsConnected());

    // Hidden until shown (booth pages show their booths), then moved as a whole.
    EXPECT_FALSE(IsWindowVisible(wrapper));
    site->Show();
    EXPECT_TRUE(IsWindowVisible(site->ControlWindow()));
    site->Move(RECT{100, 50, 300, 150});
    RECT moved = ClientRectIn(site->ControlWindow(), parent_);
    EXPECT_EQ(moved.left, 100);
    EXPECT_EQ(moved.top, 50);
    EXPECT_EQ(moved.right - moved.left, 200);
    EXPECT_EQ(moved.bottom - moved.top, 100);
    site->Hide();
    EXPECT_FALSE(IsWindowVisible(site->ControlWindow()));

    EXPECT_TRUE(site->QueryControl<IOleObject>(IID_IOleObject));
    EXPECT_FALSE(site->QueryControl<IPersistStorage>(IID_IPersistStorage));
}

TEST_F(ControlSiteTest, AmbientPropertiesReachTheControlAndFollowChanges) {
    SiteOptions options;
    options.ambient.backColor = RGB(1, 2, 3);
    options.ambient.locale = 0x0409;
    options.ambient.fontName = L"Courier New";
    options.ambient.fontPoints = 10;
    auto site = Host(CLSID_ProbeControl, options);
    ASSERT_NE(site, nullptr);
    const ProbeState& probe = ProbeRegistry::Last();
    EXPECT_TRUE(probe.ambientUserMode);
    EXPECT_EQ(probe.ambientBackColor, static_cast<LONG>(RGB(1, 2, 3)));
    EXPECT_EQ(probe.ambientLocale, 0x0409);
    // Wine may substitute a face; the control sees the face this system gives for the one asked.
    EXPECT_EQ(probe.ambientFontName, RealisedFontName(L"Courier New"));
    // The font is realised in whole pixels: 10 points come back within half a point.
    EXPECT_NEAR(static_cast<double>(probe.ambientFontSize.int64) / 10000, 10.0, 0.5);

    options.ambient.userMode = false;
    options.ambient.backColor = RGB(9, 9, 9);
    site->SetAmbient(options.ambient);
    EXPECT_GE(probe.IndexOf("OnAmbientPropertyChange"), 0);
    EXPECT_FALSE(probe.ambientUserMode);
    EXPECT_EQ(probe.ambientBackColor, static_cast<LONG>(RGB(9, 9, 9)));
}

TEST_F(ControlSiteTest, EventsArriveAtTheHandler) {
    auto site = Host(CLSID_ProbeControl);
    ASSERT_NE(site, nullptr);
    site->Show();

    // Fired directly, with text beyond ASCII and an embedded separator.
    EXPECT_EQ(ProbeFire(L"Booth 1;\u20AC 1.50"), S_OK);
    // Fired from the control's own message handling, as a mouse click on it would.
    PostMessageW(site->ControlWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    PostMessageW(site->ControlWindow(), WM_LBUTTONUP, 0, MAKELPARAM(12, 34));
    Pump();
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0].id, 1);
    EXPECT_EQ(events_[0].text, L"Booth 1;\u20AC 1.50");
    EXPECT_EQ(events_[1].text, L"click 12,34");

    // A handler that throws must not take the control down; the control sees a failure.
    throwInHandler_ = true;
    EXPECT_TRUE(FAILED(ProbeFire(L"x")));
    EXPECT_EQ(events_.size(), 3u);
}

TEST_F(ControlSiteTest, AHandlerMayCloseItsOwnSite) {
    std::unique_ptr<ControlSite> site;
    site = ControlSite::Create(parent_, CLSID_ProbeControl, RECT{0, 0, 100, 100}, 1,
                               [&site](DISPID, DISPPARAMS*) {
                                   site.reset();
                                   return S_OK;
                               });
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(ProbeFire(L"close"), S_OK);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(ProbeRegistry::LiveObjects(), 0);
}

TEST_F(ControlSiteTest, TearsDownInOrderAndLeavesNothingBehind) {
    {
        auto site = Host(CLSID_ProbeControl);
        ASSERT_NE(site, nullptr);
        EXPECT_EQ(ProbeRegistry::LiveObjects(), 2);  // control and its connection point
    }
    const ProbeState& probe = ProbeRegistry::Last();
    int unadvise = probe.IndexOf("Unadvise");
    int deactivate = probe.IndexOf("InPlaceDeactivate");
    int close = probe.IndexOf("Close");
    int noSite = probe.IndexOf("SetClientSite(null)");
    ASSERT_GE(unadvise, 0);
    EXPECT_LT(unadvise, deactivate);
    EXPECT_LT(deactivate, close);
    EXPECT_LT(close, noSite);
    EXPECT_EQ(probe.sinks, 0);
    EXPECT_EQ(ProbeRegistry::LiveObjects(), 0);
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
}

TEST_F(ControlSiteTest, SurvivesItsParentBeingDestroyedFirst) {
    auto site = Host(CLSID_ProbeControl);
    ASSERT_NE(site, nullptr);
    DestroyWindow(parent_);
    parent_ = nullptr;
    site.reset();
    EXPECT_EQ(ProbeRegistry::LiveObjects(), 0);
}

TEST_F(ControlSiteTest, FindsTheEventInterfaceOnlyWhenItCan) {
    // Without class information the container needs to be told the interface.
    SiteOptions options;
    options.eventIid = DIID_ProbeEvents;
    auto told = Host(CLSID_ProbeControlNoInfo, options);
    ASSERT_NE(told, nullptr);
    EXPECT_EQ(ProbeFire(L"told"), S_OK);
    ASSERT_EQ(events_.size(), 1u);
    told.reset();

    // Not told: creation fails rather than hosting a control whose events go nowhere.
    HRESULT hr = S_OK;
    auto untold = Host(CLSID_ProbeControlNoInfo, {}, &hr);
    EXPECT_EQ(untold, nullptr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(ProbeRegistry::LiveObjects(), 0);
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);

    // A control hosted without a handler needs no event interface at all.
    auto quiet =
        ControlSite::Create(parent_, CLSID_ProbeControlNoInfo, RECT{0, 0, 50, 50}, 1, nullptr);
    ASSERT_NE(quiet, nullptr);
    EXPECT_FALSE(quiet->EventsConnected());
}

TEST_F(ControlSiteTest, ReportsAnUnregisteredClass) {
    const CLSID unknown = {0x1b2c3d4e, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
    HRESULT hr = S_OK;
    EXPECT_EQ(Host(unknown, {}, &hr), nullptr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
}

TEST_F(ControlSiteTest, ClaimsAllKeysOnlyWhenAsked) {
    SiteOptions keys;
    keys.wantAllKeys = true;
    auto booth = Host(CLSID_ProbeControl, keys);
    auto plain = Host(CLSID_ProbeControl);
    ASSERT_NE(booth, nullptr);
    ASSERT_NE(plain, nullptr);
    auto code = [](HWND w) { return SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS; };
    EXPECT_TRUE(code(booth->Window()));
    EXPECT_TRUE(code(booth->ControlWindow()));
    EXPECT_FALSE(code(plain->Window()));
    EXPECT_FALSE(code(plain->ControlWindow()));
}

TEST(EventArgTextTest, ReadsTextArgumentsInDeclaredOrder) {
    BSTR first = SysAllocString(L"first");
    BSTR second = SysAllocStringLen(L"a\0b", 3);
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_BSTR;
    inner.bstrVal = second;
    // Positional arguments travel last-first.
    VARIANT args[4];
    for (auto& a : args) VariantInit(&a);
    args[3].vt = VT_BSTR;
    args[3].bstrVal = first;
    args[2].vt = VT_BSTR | VT_BYREF;
    args[2].pbstrVal = &first;
    args[1].vt = VT_VARIANT | VT_BYREF;
    args[1].pvarVal = &inner;
    args[0].vt = VT_I4;
    args[0].lVal = 5;
    DISPPARAMS params{args, nullptr, 4, 0};

    EXPECT_EQ(EventArgText(&params, 0), L"first");
    EXPECT_EQ(EventArgText(&params, 1), L"first");
    EXPECT_EQ(EventArgText(&params, 2), std::wstring(L"a\0b", 3));
    EXPECT_EQ(EventArgText(&params, 3), std::nullopt);  // not text
    EXPECT_EQ(EventArgText(&params, 4), std::nullopt);  // absent
    EXPECT_EQ(EventArgText(nullptr, 0), std::nullopt);

    args[3].bstrVal = nullptr;  // a null BSTR is an empty text
    EXPECT_EQ(EventArgText(&params, 0), L"");
    SysFreeString(first);
    SysFreeString(second);
}

}  // namespace
