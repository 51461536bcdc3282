// The console's ActiveX container hosting a probe control from this process, and the system's
// web browser control as the console's web page does.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <exdisp.h>
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "axhost/control_site.h"
#include "win32/com_object.h"
#include "win32/com_ptr.h"
#include "win32/text.h"

using tellarix::ControlSite;
using tellarix::SiteOptions;
using tlx::win32::ComPtr;

namespace {

// The probe: a tiny ActiveX control registered for this process only. It writes down what
// its container does to it, so the tests can check the container's side. Its events
// (DIID_ProbeEvents) have DISPID 1 with one BSTR, like a booth's print request.
const CLSID CLSID_ProbeControl = {0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0, 0, 0, 0, 0, 1}};
const IID DIID_ProbeEvents = {0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0, 0, 0, 0, 0, 3}};
struct ProbeLog {
    std::string calls;  // what the container called, in order, each followed by a space
    // As the last probe read them from its site: user mode, back colour, locale; the font.
    std::vector<LONG> ambient = {0, 0, 0};
    std::wstring fontName;
    double fontPoints = 0;
    int live = 0;               // probes not yet destroyed
    IDispatch* sink = nullptr;  // the last sink advised, until it is unadvised
} g_probe;

// clang-format off
#define NOTIMPL(sig) HRESULT STDMETHODCALLTYPE sig override { return E_NOTIMPL; }
// clang-format on

HRESULT Log(const char* call) {
    (g_probe.calls += call) += ' ';
    return S_OK;
}

// The control and its one connection point in one object: enough for a container's view.
class Probe final : public tlx::win32::ComObject<IOleObject, IOleInPlaceObject, IOleControl,
                                                 IConnectionPointContainer, IConnectionPoint> {
  public:
    Probe() { ++g_probe.live; }
    ~Probe() override { --g_probe.live; }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        site_ = ComPtr<IOleClientSite>(site);
        if (site) ReadAmbient();
        return Log(site ? "SetClientSite" : "SetClientSite(null)");
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return Log("Close"); }
    // In place, in the window the site names, at the rectangle the site gives.
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT) override {
        Log("DoVerb");
        ComPtr<IOleInPlaceSite> in;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> doc;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
        HWND siteWindow = nullptr;
        if (verb != OLEIVERB_INPLACEACTIVATE || window_ || !site ||
            FAILED(site->QueryInterface(IID_IOleInPlaceSite, in.PutVoid())) ||
            FAILED(in->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info)) ||
            FAILED(in->GetWindow(&siteWindow)) || siteWindow != parent)
            return E_UNEXPECTED;
        window_ = CreateWindowExW(0, L"STATIC", L"probe", WS_CHILD | WS_VISIBLE, pos.left, pos.top,
                                  pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                                  nullptr, nullptr);
        return window_ ? S_OK : E_FAIL;
    }
    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        return (*hwnd = window_) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        if (window_) DestroyWindow(std::exchange(window_, nullptr));
        return Log("InPlaceDeactivate");
    }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override {
        MoveWindow(window_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                   TRUE);
        return S_OK;
    }
    // IOleControl
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override {
        ReadAmbient();
        return Log("OnAmbientPropertyChange");
    }
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = iid == DIID_ProbeEvents ? this : nullptr;
        if (*cp) AddRef();
        return *cp ? S_OK : CONNECT_E_NOCONNECTION;
    }

    // IConnectionPoint, one sink at a time (its Unadvise serves IOleObject's too, unused)
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        // A sink that does not answer for the event interface itself would miss events.
        if (sink_ || !sink || FAILED(sink->QueryInterface(DIID_ProbeEvents, sink_.PutVoid())))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        g_probe.sink = sink_.Get();
        return Log("Advise");
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
        if (g_probe.sink == sink_.Get()) g_probe.sink = nullptr;
        sink_.Reset();
        return Log("Unadvise");
    }
    // What the container never asks of a probe.
    // clang-format off
    NOTIMPL(GetClientSite(IOleClientSite**)); NOTIMPL(SetHostNames(LPCOLESTR, LPCOLESTR));
    NOTIMPL(SetMoniker(DWORD, IMoniker*)); NOTIMPL(GetMoniker(DWORD, DWORD, IMoniker**));
    NOTIMPL(InitFromData(IDataObject*, BOOL, DWORD));
    NOTIMPL(GetClipboardData(DWORD, IDataObject**)); NOTIMPL(EnumVerbs(IEnumOLEVERB**));
    NOTIMPL(Update()); NOTIMPL(IsUpToDate()); NOTIMPL(GetUserClassID(CLSID*));
    NOTIMPL(GetUserType(DWORD, LPOLESTR*)); NOTIMPL(SetExtent(DWORD, SIZEL*));
    NOTIMPL(GetExtent(DWORD, SIZEL*)); NOTIMPL(Advise(IAdviseSink*, DWORD*));
    NOTIMPL(EnumAdvise(IEnumSTATDATA**)); NOTIMPL(GetMiscStatus(DWORD, DWORD*));
    NOTIMPL(SetColorScheme(LOGPALETTE*));
    NOTIMPL(ContextSensitiveHelp(BOOL)); NOTIMPL(UIDeactivate()); NOTIMPL(ReactivateAndUndo());
    NOTIMPL(GetControlInfo(CONTROLINFO*)); NOTIMPL(OnMnemonic(MSG*)); NOTIMPL(FreezeEvents(BOOL));
    NOTIMPL(EnumConnectionPoints(IEnumConnectionPoints**)); NOTIMPL(GetConnectionInterface(IID*));
    NOTIMPL(GetConnectionPointContainer(IConnectionPointContainer**));
    NOTIMPL(EnumConnections(IEnumConnections**));
    // clang-format on

  private:
    void* Find(REFIID iid) noexcept override {
        if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
        if (iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }

    void ReadAmbient() {
        ComPtr<IDispatch> ambient;
        if (FAILED(site_.As(ambient, IID_IDispatch))) return;
        auto Get = [](IDispatch* from, DISPID id, VARTYPE vt, VARIANT* v) {
            DISPPARAMS none{};
            VariantInit(v);
            return SUCCEEDED(from->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, v, nullptr,
                                          nullptr)) &&
                   SUCCEEDED(VariantChangeType(v, v, 0, vt));
        };
        const DISPID ids[] = {DISPID_AMBIENT_USERMODE, DISPID_AMBIENT_BACKCOLOR,
                              DISPID_AMBIENT_LOCALEID};
        VARIANT v, font;
        for (int i = 0; i < 3; ++i)
            if (Get(ambient.Get(), ids[i], VT_I4, &v)) g_probe.ambient[i] = v.lVal;
        if (Get(ambient.Get(), DISPID_AMBIENT_FONT, VT_DISPATCH, &font) && font.pdispVal) {
            if (Get(font.pdispVal, DISPID_FONT_NAME, VT_BSTR, &v)) g_probe.fontName = v.bstrVal;
            VariantClear(&v);
            if (Get(font.pdispVal, DISPID_FONT_SIZE, VT_R8, &v)) g_probe.fontPoints = v.dblVal;
        }
        VariantClear(&font);
    }

    ComPtr<IOleClientSite> site_;
    ComPtr<IDispatch> sink_;
    HWND window_ = nullptr;
};

class ProbeFactory final : public tlx::win32::ComObject<IClassFactory> {
  public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return ComPtr<Probe>::Adopt(new Probe)->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    void* Find(REFIID iid) noexcept override {
        return iid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
    }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Fires the probe's DISPID 1 with text, as a booth's Print button would.
HRESULT Fire(const std::wstring& text) {
    ComPtr<IDispatch> sink(g_probe.sink);  // the handler may unadvise it
    tlx::win32::Bstr arg(text);
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = arg.Get();
    DISPPARAMS params{&v, nullptr, 1, 0};
    return sink ? sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr)
                : E_UNEXPECTED;
}

// Where a window stands in its parent's client area: left, top, right, bottom.
std::vector<LONG> PlaceIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

class ControlSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
        g_probe = {};
        CoRegisterClassObject(CLSID_ProbeControl,
                              ComPtr<ProbeFactory>::Adopt(new ProbeFactory).Get(),
                              CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &probeClass_);
        parent_ = CreateWindowExW(0, L"STATIC", L"axhost test",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640,
                                  480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        // Whatever the test hosted has gone: no window left in the parent, no probe alive.
        EXPECT_TRUE(!parent_ || !GetWindow(parent_, GW_CHILD));
        EXPECT_EQ(g_probe.live, 0);
        DestroyWindow(parent_);
        Pump();
        RevokeProbe();
        OleUninitialize();
    }
    void RevokeProbe() {
        if (probeClass_) CoRevokeClassObject(std::exchange(probeClass_, 0));
    }
    // The probe has no class information: the container is told its event interface.
    std::unique_ptr<ControlSite> Host(SiteOptions options = {}, HRESULT* hr = nullptr,
                                      const CLSID& id = CLSID_ProbeControl, bool told = true) {
        if (told) options.eventIid = DIID_ProbeEvents;
        return ControlSite::Create(
            parent_, id, RECT{10, 20, 280, 245}, 77,
            [this](DISPID id, DISPPARAMS* params) {
                const auto text = tellarix::EventArgText(params, 0).value_or(L"<none>");
                events_.push_back(std::to_wstring(id) + L":" + text);
                if (text == L"close") closing_->reset();
                return text == L"throw" ? throw std::runtime_error("handler failed") : S_OK;
            },
            options, hr);
    }

    HWND parent_ = nullptr;
    DWORD probeClass_ = 0;
    std::vector<std::wstring> events_;
    std::unique_ptr<ControlSite>* closing_ = nullptr;  // the site an event "close" closes
};

TEST_F(ControlSiteTest, ActivatesInPlaceInsideItsWrapperWindow) {
    auto site = Host();
    ASSERT_NE(site, nullptr);
    // The control gets its site before it is connected and activated.
    EXPECT_EQ(g_probe.calls, "SetClientSite Advise DoVerb ");
    // The wrapper is the parent's child with the given id; the control fills the given cell.
    HWND wrapper = site->Window();
    EXPECT_EQ(GetParent(wrapper), parent_);
    EXPECT_EQ(GetDlgCtrlID(wrapper), 77);
    ASSERT_NE(site->ControlWindow(), nullptr);
    EXPECT_EQ(GetParent(site->ControlWindow()), wrapper);
    EXPECT_EQ(PlaceIn(site->ControlWindow(), parent_), (std::vector<LONG>{10, 20, 280, 245}));
    // Hidden until shown (booth pages show their booths), then moved as a whole.
    EXPECT_FALSE(IsWindowVisible(wrapper));
    site->Show();
    EXPECT_TRUE(IsWindowVisible(site->ControlWindow()));
    site->Move(RECT{100, 50, 300, 150});
    EXPECT_EQ(PlaceIn(site->ControlWindow(), parent_), (std::vector<LONG>{100, 50, 300, 150}));
    site->Hide();
    EXPECT_FALSE(IsWindowVisible(site->ControlWindow()));
}

TEST_F(ControlSiteTest, AmbientPropertiesReachTheControlAndFollowChanges) {
    SiteOptions options;
    options.ambient.backColor = RGB(1, 2, 3);
    options.ambient.locale = 0x0409;
    // A face this machine has (ghostscript's fonts), so Wine gives it as asked.
    options.ambient.fontName = L"Nimbus Sans";
    options.ambient.fontPoints = 14;
    auto site = Host(options);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(g_probe.ambient, (std::vector<LONG>{-1, 0x030201, 0x0409}));  // -1: true
    EXPECT_EQ(g_probe.fontName, L"Nimbus Sans");
    EXPECT_NEAR(g_probe.fontPoints, 14.0, 0.5);  // realised in whole pixels

    options.ambient.userMode = false;
    options.ambient.backColor = RGB(9, 9, 9);
    site->SetAmbient(options.ambient);
    EXPECT_EQ(g_probe.calls, "SetClientSite Advise DoVerb OnAmbientPropertyChange ");
    EXPECT_EQ(g_probe.ambient, (std::vector<LONG>{0, 0x090909, 0x0409}));
}

TEST_F(ControlSiteTest, EventsArriveAtTheHandler) {
    auto site = Host();
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(Fire(L"Booth 1;\u20AC 1.50"), S_OK);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"1:Booth 1;\u20AC 1.50"});
    // A handler that throws must not take the control down; the control sees a failure.
    EXPECT_TRUE(FAILED(Fire(L"throw")));
    EXPECT_EQ(events_.size(), 2u);

    // A handler may close its own site.
    std::unique_ptr<ControlSite> own = Host();
    closing_ = &own;
    EXPECT_EQ(Fire(L"close"), S_OK);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(g_probe.live, 1);
}

TEST_F(ControlSiteTest, TearsDownInOrderAndLeavesNothingBehind) {
    Host().reset();
    // Events first, so nothing reaches the console from a control going away.
    EXPECT_EQ(g_probe.calls,
              "SetClientSite Advise DoVerb Unadvise InPlaceDeactivate Close SetClientSite(null) ");
    EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);

    // Its parent destroyed first, it still comes down whole.
    auto site = Host();
    DestroyWindow(std::exchange(parent_, nullptr));
    site.reset();
}

TEST_F(ControlSiteTest, FailsCleanlyWhenItCannotHost) {
    const CLSID unknown = {0x1b2c3d4e, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
    HRESULT hr = S_OK;
    EXPECT_EQ(Host({}, &hr, unknown), nullptr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    // Events wanted but no interface to hear them on: refused rather than hosted deaf.
    EXPECT_EQ(Host({}, &hr, CLSID_ProbeControl, false), nullptr);
    EXPECT_TRUE(FAILED(hr));
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

TEST_F(ControlSiteTest, ControlsOfOneClassShareItsFactoryWhileAnyLives) {
    auto first = Host();
    ASSERT_NE(first, nullptr);
    RevokeProbe();  // the class is gone from this process's registrations
    auto second = Host();
    EXPECT_NE(second, nullptr) << "the class was looked up again for the second control";
    first.reset();
    second.reset();
    HRESULT hr = S_OK;
    EXPECT_EQ(Host({}, &hr), nullptr) << "the factory outlived its controls";
    EXPECT_TRUE(FAILED(hr));
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
    tlx::win32::Bstr url(L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) +
                         L"/Login.aspx?login=op&password=a&b");
    EXPECT_EQ(browser->Navigate(url.Get(), nullptr, nullptr, nullptr, nullptr), S_OK);

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
    closesocket(client);
    closesocket(server);
    WSACleanup();
}

}  // namespace
