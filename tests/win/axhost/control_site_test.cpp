// The console's ActiveX container hosting a probe control registered for this process only.
#include "console/axhost/control_site.h"

#include <gtest/gtest.h>
#include <olectl.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "win32/com_object.h"
#include "win32/com_ptr.h"
#include "win32/text.h"

using tlx::console::ControlSite;
using tlx::console::SiteOptions;
using tlx::win32::ComPtr;

namespace {

// Its events have DISPID 1 with one BSTR, like a booth's print request.
const CLSID CLSID_ProbeControl = {0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0, 0, 0, 0, 0, 1}};
const IID DIID_ProbeEvents = {0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0, 0, 0, 0, 0, 3}};
struct ProbeLog {
    std::string calls;                      // what the container called, in order
    std::vector<LONG> ambient = {0, 0, 0};  // user mode, back colour, locale as last read
    std::wstring fontName;
    double fontPoints = 0;
    int live = 0;                               // probes not yet destroyed
    IDispatch* sink = nullptr;                  // the advised sink, until unadvised
    std::vector<std::pair<HWND, WPARAM>> keys;  // (probe's window, key) as handed to a probe
} g_probe;

HRESULT Log(const char* call) {
    (g_probe.calls += call) += ' ';
    return S_OK;
}

// clang-format off
#define NOTIMPL(sig) HRESULT STDMETHODCALLTYPE sig override { return E_NOTIMPL; }
// clang-format on

// The control and its one connection point in one object, writing down what is done to it.
class Probe final
    : public tlx::win32::ComObject<IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
                                   IOleControl, IConnectionPointContainer, IConnectionPoint> {
  public:
    Probe() { ++g_probe.live; }
    ~Probe() override { --g_probe.live; }

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
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        return (*hwnd = window_) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        if (window_) DestroyWindow(std::exchange(window_, nullptr));
        return Log("InPlaceDeactivate");
    }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT p, LPCRECT) override {
        MoveWindow(window_, p->left, p->top, p->right - p->left, p->bottom - p->top, TRUE);
        return S_OK;
    }
    // Takes Tab, as a web page moving between its links does; declines the rest.
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override {
        g_probe.keys.emplace_back(window_, msg->wParam);
        return msg->wParam == VK_TAB ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = iid == DIID_ProbeEvents ? this : nullptr;
        if (*cp) AddRef();
        return *cp ? S_OK : CONNECT_E_NOCONNECTION;
    }
    // One sink at a time, which must answer for the event interface itself.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink_ || !sink || FAILED(sink->QueryInterface(DIID_ProbeEvents, sink_.PutVoid())))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        g_probe.sink = sink_.Get();
        return Log("Advise");
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
        g_probe.sink = nullptr;
        sink_.Reset();
        return Log("Unadvise");
    }
    // clang-format off
    NOTIMPL(GetClientSite(IOleClientSite**)) NOTIMPL(SetHostNames(LPCOLESTR, LPCOLESTR))
    NOTIMPL(Update()) NOTIMPL(SetMoniker(DWORD, IMoniker*))
    NOTIMPL(GetMoniker(DWORD, DWORD, IMoniker**)) NOTIMPL(IsUpToDate())
    NOTIMPL(InitFromData(IDataObject*, BOOL, DWORD)) NOTIMPL(GetClipboardData(DWORD, IDataObject**))
    NOTIMPL(EnumVerbs(IEnumOLEVERB**)) NOTIMPL(GetUserClassID(CLSID*))
    NOTIMPL(GetUserType(DWORD, LPOLESTR*)) NOTIMPL(SetExtent(DWORD, SIZEL*))
    NOTIMPL(GetExtent(DWORD, SIZEL*)) NOTIMPL(Advise(IAdviseSink*, DWORD*))
    NOTIMPL(EnumAdvise(IEnumSTATDATA**)) NOTIMPL(GetMiscStatus(DWORD, DWORD*))
    NOTIMPL(UIDeactivate()) NOTIMPL(SetColorScheme(LOGPALETTE*)) NOTIMPL(ContextSensitiveHelp(BOOL))
    NOTIMPL(ReactivateAndUndo()) NOTIMPL(GetControlInfo(CONTROLINFO*)) NOTIMPL(OnMnemonic(MSG*))
    NOTIMPL(FreezeEvents(BOOL)) NOTIMPL(EnumConnectionPoints(IEnumConnectionPoints**))
    NOTIMPL(OnAmbientPropertyChange(DISPID)) NOTIMPL(OnFrameWindowActivate(BOOL))
    NOTIMPL(OnDocWindowActivate(BOOL)) NOTIMPL(ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL))
    NOTIMPL(EnableModeless(BOOL))
    NOTIMPL(GetConnectionInterface(IID*))
    NOTIMPL(GetConnectionPointContainer(IConnectionPointContainer**))
    NOTIMPL(EnumConnections(IEnumConnections**))
        // clang-format on

        private : void* Find(REFIID iid) noexcept override {
        if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
        if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
        if (iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }
    static bool Get(IDispatch* from, DISPID id, VARTYPE vt, VARIANT* v) {
        DISPPARAMS none{};
        VariantInit(v);
        return SUCCEEDED(from->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, v, nullptr,
                                      nullptr)) &&
               SUCCEEDED(VariantChangeType(v, v, 0, vt));
    }
    void ReadAmbient() {
        ComPtr<IDispatch> ambient;
        if (FAILED(site_.As(ambient, IID_IDispatch))) return;
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
        return outer ? CLASS_E_NOAGGREGATION
                     : ComPtr<Probe>::Adopt(new Probe)->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    void* Find(REFIID iid) noexcept override {
        return iid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
    }
};

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
        parent_ = CreateWindowExW(0, L"STATIC", L"axhost test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        // Whatever the test hosted has gone: no window left in the parent, no probe alive.
        EXPECT_TRUE(!parent_ || !GetWindow(parent_, GW_CHILD));
        EXPECT_EQ(g_probe.live, 0);
        DestroyWindow(parent_);
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
                const auto text = tlx::console::EventArgText(params, 0).value_or(L"<none>");
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

TEST_F(ControlSiteTest, ActivatesInPlaceInsideItsWrapperAndTearsDownInOrder) {
    SiteOptions options;
    options.ambient.backColor = RGB(1, 2, 3);
    options.ambient.locale = 0x0409;
    options.ambient.fontName = L"Nimbus Sans";  // a face this machine has: Wine gives it as asked
    options.ambient.fontPoints = 14;
    auto site = Host(options);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(g_probe.calls, "SetClientSite Advise DoVerb ");  // sited before connected
    EXPECT_EQ(g_probe.ambient, (std::vector<LONG>{-1, 0x030201, 0x0409}));  // -1: true
    EXPECT_EQ(g_probe.fontName, L"Nimbus Sans");
    EXPECT_NEAR(g_probe.fontPoints, 14.0, 0.5);  // realised in whole pixels
    // The wrapper is the parent's child with the given id; the control fills the given cell.
    HWND wrapper = site->Window(), control = site->ControlWindow();
    EXPECT_EQ(std::pair(GetParent(wrapper), GetDlgCtrlID(wrapper)), std::pair(parent_, 77));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), wrapper);
    EXPECT_EQ(PlaceIn(control, parent_), (std::vector<LONG>{10, 20, 280, 245}));
    EXPECT_FALSE(IsWindowVisible(wrapper));  // hidden until its page shows it
    site->Show();
    EXPECT_TRUE(IsWindowVisible(control));
    site->Move(RECT{100, 50, 300, 150});
    EXPECT_EQ(PlaceIn(control, parent_), (std::vector<LONG>{100, 50, 300, 150}));
    site->Hide();
    EXPECT_FALSE(IsWindowVisible(control));
    // Events go first, so nothing reaches the console from a control going away.
    site.reset();
    EXPECT_EQ(g_probe.calls,
              "SetClientSite Advise DoVerb Unadvise InPlaceDeactivate Close SetClientSite(null) ");
    // Its parent destroyed first, it still comes down whole.
    site = Host();
    DestroyWindow(std::exchange(parent_, nullptr));
    site.reset();
}

// A booth's print request reaching its handler is the hosted booth tests' to show.
TEST_F(ControlSiteTest, AHandlerMayFailOrCloseItsOwnSite) {
    auto site = Host();
    ASSERT_NE(site, nullptr);
    // A handler that throws must not take the control down; the control sees a failure.
    EXPECT_TRUE(FAILED(Fire(L"throw")));
    EXPECT_EQ(events_, std::vector<std::wstring>{L"1:throw"});
    // A handler may close its own site.
    std::unique_ptr<ControlSite> own = Host();
    closing_ = &own;
    EXPECT_EQ(Fire(L"close"), S_OK);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(g_probe.live, 1);
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

// The message loop's first step: a key goes to the control it was typed into (its window or
// one inside it), and only a key the control takes is done with.
TEST_F(ControlSiteTest, KeysGoFirstToTheControlTheyAreTypedInto) {
    auto first = Host(), second = Host();
    ASSERT_TRUE(first && second);
    // Like the browser's document window inside the control's own.
    HWND inner = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, second->ControlWindow(),
                                 nullptr, nullptr, nullptr);
    auto key = [](HWND to, UINT msg, WPARAM vk) {
        MSG m{to, msg, vk, 0, 0, {}};
        return ControlSite::TranslateKey(&m);
    };
    EXPECT_TRUE(key(inner, WM_KEYDOWN, VK_TAB));
    EXPECT_FALSE(key(first->ControlWindow(), WM_KEYDOWN, 'C'));     // declined: the dialog's
    EXPECT_FALSE(key(parent_, WM_KEYDOWN, VK_TAB));                 // in no control
    EXPECT_FALSE(key(second->ControlWindow(), WM_LBUTTONDOWN, 0));  // no key
    EXPECT_EQ(g_probe.keys, (std::vector<std::pair<HWND, WPARAM>>{{second->ControlWindow(), VK_TAB},
                                                                  {first->ControlWindow(), 'C'}}));
    // A control gone is asked no more, though a late message may still name its window.
    HWND gone = first->Window();
    first.reset();
    g_probe.keys.clear();
    EXPECT_FALSE(key(gone, WM_KEYDOWN, VK_TAB));
    EXPECT_TRUE(g_probe.keys.empty());
}

}  // namespace
