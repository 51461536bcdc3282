// The console's ActiveX container hosting a probe control from this process, and the system's
// web browser control as the console's web page does.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <exdisp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "axhost/control_site.h"
#include "probe_control.h"

using tellarix::ControlSite;
using tellarix::EventArgText;
using tellarix::SiteOptions;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

RECT RectIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ControlSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        registration_ = std::make_unique<ProbeClassRegistration>();
        parent_ = CreateWindowExW(0, L"STATIC", L"axhost test",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640,
                                  480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        Pump();
        registration_.reset();
        OleUninitialize();
    }
    // The probe has no class information: the container is told its event interface.
    std::unique_ptr<ControlSite> Host(SiteOptions options = {},
                                      const CLSID& id = CLSID_ProbeControl, HRESULT* hr = nullptr,
                                      bool told = true) {
        if (told) options.eventIid = DIID_ProbeEvents;
        return ControlSite::Create(
            parent_, id, RECT{10, 20, 280, 245}, 77,
            [this](DISPID id, DISPPARAMS* params) {
                events_.push_back(std::to_wstring(id) + L":" +
                                  EventArgText(params, 0).value_or(L"<none>"));
                if (closeOnEvent_) closeOnEvent_->reset();
                return throwInHandler_ ? throw std::runtime_error("handler failed") : S_OK;
            },
            options, hr);
    }

    HWND parent_ = nullptr;
    std::unique_ptr<ProbeClassRegistration> registration_;
    std::vector<std::wstring> events_;
    bool throwInHandler_ = false;
    std::unique_ptr<ControlSite>* closeOnEvent_ = nullptr;
};

TEST_F(ControlSiteTest, ActivatesInPlaceInsideItsWrapperWindow) {
    auto site = Host();
    ASSERT_NE(site, nullptr);
    const ProbeState& probe = LastProbe();
    // The wrapper is the parent's child with the given id and cell; the control fills it.
    HWND wrapper = site->Window();
    EXPECT_EQ(GetParent(wrapper), parent_);
    EXPECT_EQ(GetDlgCtrlID(wrapper), 77);
    const RECT cell = RectIn(wrapper, parent_);
    EXPECT_EQ(std::vector<LONG>({cell.left, cell.top, cell.right, cell.bottom}),
              std::vector<LONG>({10, 20, 280, 245}));
    ASSERT_NE(site->ControlWindow(), nullptr);
    EXPECT_EQ(site->ControlWindow(), probe.window);
    EXPECT_EQ(GetParent(site->ControlWindow()), wrapper);
    EXPECT_EQ(probe.activatedAt.right - probe.activatedAt.left, 270);
    EXPECT_EQ(probe.activatedAt.bottom - probe.activatedAt.top, 225);
    // A control that wants its site first gets it before it is connected and activated.
    EXPECT_EQ(probe.log, "SetClientSite Advise DoVerb ");
    EXPECT_TRUE(site->EventsConnected());
    // Hidden until shown (booth pages show their booths), then moved as a whole.
    EXPECT_FALSE(IsWindowVisible(wrapper));
    site->Show();
    EXPECT_TRUE(IsWindowVisible(site->ControlWindow()));
    site->Move(RECT{100, 50, 300, 150});
    const RECT moved = RectIn(site->ControlWindow(), parent_);
    EXPECT_EQ(std::vector<LONG>({moved.left, moved.top, moved.right, moved.bottom}),
              std::vector<LONG>({100, 50, 300, 150}));
    site->Hide();
    EXPECT_FALSE(IsWindowVisible(site->ControlWindow()));
}

TEST_F(ControlSiteTest, AmbientPropertiesReachTheControlAndFollowChanges) {
    SiteOptions options;
    options.ambient.backColor = RGB(1, 2, 3);
    options.ambient.locale = 0x0409;
    options.ambient.fontName = L"Courier New";
    options.ambient.fontPoints = 10;
    auto site = Host(options);
    ASSERT_NE(site, nullptr);
    const ProbeState& probe = LastProbe();
    EXPECT_EQ(std::vector<LONG>(probe.ambient, probe.ambient + 3),
              std::vector<LONG>({-1, static_cast<LONG>(RGB(1, 2, 3)), 0x0409}));  // -1: true
    // Wine may substitute a face: the control sees the one this system gives for the one asked.
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(L"Courier New");
    desc.cySize.int64 = 100000;
    desc.sWeight = FW_NORMAL;
    desc.sCharset = DEFAULT_CHARSET;
    IFont* font = nullptr;
    BSTR name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(&font)));
    font->get_Name(&name);
    EXPECT_EQ(probe.fontName, name);
    SysFreeString(name);
    font->Release();
    // Realised in whole pixels: 10 points come back within half a point.
    EXPECT_NEAR(static_cast<double>(probe.fontSize) / 10000, 10.0, 0.5);

    options.ambient.userMode = false;
    options.ambient.backColor = RGB(9, 9, 9);
    site->SetAmbient(options.ambient);
    EXPECT_NE(probe.log.find("OnAmbientPropertyChange"), std::string::npos);
    EXPECT_EQ(probe.ambient[0], 0);
    EXPECT_EQ(probe.ambient[1], static_cast<LONG>(RGB(9, 9, 9)));
}

TEST_F(ControlSiteTest, EventsArriveAtTheHandler) {
    auto site = Host();
    ASSERT_NE(site, nullptr);
    site->Show();
    EXPECT_EQ(ProbeFire(L"Booth 1;\u20AC 1.50"), S_OK);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"1:Booth 1;\u20AC 1.50"});
    // A handler that throws must not take the control down; the control sees a failure.
    throwInHandler_ = true;
    EXPECT_TRUE(FAILED(ProbeFire(L"x")));
    EXPECT_EQ(events_.size(), 2u);

    // A handler may close its own site.
    throwInHandler_ = false;
    std::unique_ptr<ControlSite> own = Host();
    closeOnEvent_ = &own;
    EXPECT_EQ(ProbeFire(L"close"), S_OK);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(LiveProbes(), 1);
}

TEST_F(ControlSiteTest, TearsDownInOrderAndLeavesNothingBehind) {
    Host().reset();
    // Events first, so nothing reaches the console from a control going away.
    EXPECT_EQ(LastProbe().log,
              "SetClientSite Advise DoVerb Unadvise InPlaceDeactivate Close SetClientSite(null) ");
    EXPECT_EQ(LiveProbes(), 0);
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);

    // Its parent destroyed first, it still comes down whole.
    auto site = Host();
    DestroyWindow(std::exchange(parent_, nullptr));
    site.reset();
    EXPECT_EQ(LiveProbes(), 0);
}

TEST_F(ControlSiteTest, FailsCleanlyWhenItCannotHost) {
    const CLSID unknown = {0x1b2c3d4e, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
    HRESULT hr = S_OK;
    EXPECT_EQ(Host({}, unknown, &hr), nullptr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    // Events wanted but no interface to hear them on: refused rather than hosted deaf.
    EXPECT_EQ(Host({}, CLSID_ProbeControl, &hr, false), nullptr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(LiveProbes(), 0);
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
    // Without a handler no event interface is needed.
    auto quiet = ControlSite::Create(parent_, CLSID_ProbeControl, RECT{0, 0, 50, 50}, 1, nullptr);
    ASSERT_NE(quiet, nullptr);
    EXPECT_FALSE(quiet->EventsConnected());
}

TEST_F(ControlSiteTest, ClaimsAllKeysOnlyWhenAsked) {
    SiteOptions keys;
    keys.wantAllKeys = true;
    auto booth = Host(keys), plain = Host();
    ASSERT_TRUE(booth && plain);
    auto code = [](HWND w) { return SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS; };
    EXPECT_TRUE(code(booth->Window()) && code(booth->ControlWindow()));
    EXPECT_FALSE(code(plain->Window()) || code(plain->ControlWindow()));
}

// Waits, pumping messages as the console's loop would, until the socket is readable.
bool ReadableWithin(SOCKET s, DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end;) {
        Pump();
        fd_set set{1, {s}};
        timeval tv{0, 50000};
        if (select(0, &set, nullptr, nullptr, &tv) == 1) return true;
    }
    return false;
}

TEST_F(ControlSiteTest, ControlsOfOneClassShareItsFactoryWhileAnyLives) {
    auto first = Host();
    ASSERT_NE(first, nullptr);
    registration_.reset();  // the class is gone from this process's registrations
    auto second = Host();
    EXPECT_NE(second, nullptr) << "the class was looked up again for the second control";
    first.reset();
    second.reset();
    HRESULT hr = S_OK;
    EXPECT_EQ(Host({}, CLSID_ProbeControl, &hr), nullptr) << "the factory outlived its controls";
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(LiveProbes(), 0);
}

TEST_F(ControlSiteTest, WebBrowserAsksForTheAddressItIsGiven) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(server, 1), 0);
    getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len);

    // {8856F961-340A-11D0-A96B-00C04FD705A2}
    const CLSID kWeb = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
    HRESULT hr = E_FAIL;
    SiteOptions web;
    web.visible = true;
    auto site = ControlSite::Create(parent_, kWeb, RECT{5, 5, 405, 305}, 1022, nullptr, web, &hr);
    ASSERT_NE(site, nullptr) << std::hex << hr;
    auto browser = site->QueryControl<IWebBrowser2>(IID_IWebBrowser2);
    ASSERT_TRUE(browser);
    BSTR url = SysAllocString((L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) +
                               L"/Login.aspx?login=op&password=a&b")
                                  .c_str());
    EXPECT_EQ(browser->Navigate(url, nullptr, nullptr, nullptr, nullptr), S_OK);
    SysFreeString(url);

    ASSERT_TRUE(ReadableWithin(server, 20000)) << "the browser never connected";
    const SOCKET client = accept(server, nullptr, nullptr);
    char buf[2048] = "";
    ASSERT_TRUE(ReadableWithin(client, 10000));
    const std::string request(buf, std::max(0, recv(client, buf, sizeof buf, 0)));
    EXPECT_EQ(request.rfind("GET /Login.aspx?login=op&password=a&b HTTP/1.", 0), 0u) << request;
    const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    send(client, reply, sizeof reply - 1, 0);
    Pump();
    browser.Reset();
    site.reset();  // must come down cleanly with a page loading or loaded
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
    closesocket(client);
    closesocket(server);
    WSACleanup();
}

}  // namespace
