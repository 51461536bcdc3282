#include "probe_control.h"

#include <olectl.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// {6F0C2A41-5B1E-4C57-9A3E-2D1B7E5C9A01}
const CLSID CLSID_ProbeControl = {
    0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0x2d, 0x1b, 0x7e, 0x5c, 0x9a, 0x01}};
// {6F0C2A41-5B1E-4C57-9A3E-2D1B7E5C9A03}
const IID DIID_ProbeEvents = {
    0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0x2d, 0x1b, 0x7e, 0x5c, 0x9a, 0x03}};

namespace {

int g_live = 0;
std::vector<std::unique_ptr<ProbeState>> g_states;
class Probe* g_last = nullptr;

#define NOTIMPL(sig)                         \
    HRESULT STDMETHODCALLTYPE sig override { \
        return E_NOTIMPL;                    \
    }

// The control and its one connection point in one object: enough for a container's view.
class Probe final : public IOleObject,
                    public IOleInPlaceObject,
                    public IOleControl,
                    public IConnectionPointContainer,
                    public IConnectionPoint {
  public:
    Probe() : state_(*g_states.emplace_back(std::make_unique<ProbeState>())) {
        ++g_live;
        g_last = this;
    }
    ~Probe() {
        for (IDispatch* s : sinks_)
            if (s) s->Release();
        if (site_) site_->Release();
        if (g_last == this) g_last = nullptr;
        --g_live;
    }

    HRESULT Fire(const std::wstring& text) {
        AddRef();  // a handler may release us while we fire
        HRESULT last = S_OK;
        for (IDispatch* sink : std::vector<IDispatch*>(sinks_)) {
            if (!sink) continue;
            VARIANT arg;
            arg.vt = VT_BSTR;
            arg.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            DISPPARAMS params{&arg, nullptr, 1, 0};
            HRESULT hr = sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      nullptr, nullptr, nullptr);
            VariantClear(&arg);
            if (FAILED(hr)) last = hr;
        }
        Release();
        return last;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject)
            *out = static_cast<IOleObject*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
            *out = static_cast<IOleInPlaceObject*>(this);
        else if (iid == IID_IOleControl)
            *out = static_cast<IOleControl*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        state_.log += site ? "SetClientSite " : "SetClientSite(null) ";
        if (site) site->AddRef();
        if (site_) site_->Release();
        site_ = site;
        if (site) ReadAmbient();
        return S_OK;
    }
    NOTIMPL(GetClientSite(IOleClientSite**))
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override {
        state_.log += "Close ";
        return S_OK;
    }
    NOTIMPL(SetMoniker(DWORD, IMoniker*))
    NOTIMPL(GetMoniker(DWORD, DWORD, IMoniker**))
    NOTIMPL(InitFromData(IDataObject*, BOOL, DWORD))
    NOTIMPL(GetClipboardData(DWORD, IDataObject**))
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT) override {
        state_.log += "DoVerb ";
        IOleInPlaceSite* in = nullptr;
        if (verb != OLEIVERB_INPLACEACTIVATE || state_.window || !site ||
            FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&in))))
            return E_UNEXPECTED;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* doc = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
        HWND siteWindow = nullptr;
        HRESULT hr = in->GetWindowContext(&frame, &doc, &pos, &clip, &info);
        if (SUCCEEDED(hr)) hr = in->GetWindow(&siteWindow);
        if (frame) frame->Release();
        if (doc) doc->Release();
        in->Release();
        if (FAILED(hr) || siteWindow != parent) return E_UNEXPECTED;
        state_.activatedAt = pos;
        state_.window = CreateWindowExW(0, L"STATIC", L"probe", WS_CHILD | WS_VISIBLE, pos.left,
                                        pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                        siteWindow, nullptr, nullptr, nullptr);
        return state_.window ? S_OK : E_FAIL;
    }
    NOTIMPL(EnumVerbs(IEnumOLEVERB**))
    NOTIMPL(Update())
    NOTIMPL(IsUpToDate())
    NOTIMPL(GetUserClassID(CLSID*))
    NOTIMPL(GetUserType(DWORD, LPOLESTR*))
    NOTIMPL(SetExtent(DWORD, SIZEL*))
    NOTIMPL(GetExtent(DWORD, SIZEL*))
    NOTIMPL(Advise(IAdviseSink*, DWORD*))
    NOTIMPL(EnumAdvise(IEnumSTATDATA**))
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT;
        return S_OK;
    }
    NOTIMPL(SetColorScheme(LOGPALETTE*))

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        *hwnd = state_.window;
        return state_.window ? S_OK : E_FAIL;
    }
    NOTIMPL(ContextSensitiveHelp(BOOL))
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        state_.log += "InPlaceDeactivate ";
        if (state_.window) DestroyWindow(state_.window);
        return S_OK;
    }
    NOTIMPL(UIDeactivate())
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override {
        MoveWindow(state_.window, pos->left, pos->top, pos->right - pos->left,
                   pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    NOTIMPL(ReactivateAndUndo())

    // IOleControl
    NOTIMPL(GetControlInfo(CONTROLINFO*))
    NOTIMPL(OnMnemonic(MSG*))
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override {
        state_.log += "OnAmbientPropertyChange ";
        ReadAmbient();
        return S_OK;
    }
    NOTIMPL(FreezeEvents(BOOL))

    // IConnectionPointContainer
    NOTIMPL(EnumConnectionPoints(IEnumConnectionPoints**))
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = iid == DIID_ProbeEvents ? this : nullptr;
        if (*cp) AddRef();
        return *cp ? S_OK : CONNECT_E_NOCONNECTION;
    }

    // IConnectionPoint (its Unadvise serves IOleObject's too, which nobody calls)
    NOTIMPL(GetConnectionInterface(IID*))
    NOTIMPL(GetConnectionPointContainer(IConnectionPointContainer**))
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        IDispatch* disp = nullptr;
        // A sink that does not answer for the event interface itself would miss events.
        if (!sink ||
            FAILED(sink->QueryInterface(DIID_ProbeEvents, reinterpret_cast<void**>(&disp))))
            return CONNECT_E_CANNOTCONNECT;
        sinks_.push_back(disp);
        *cookie = static_cast<DWORD>(sinks_.size());
        state_.log += "Advise ";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1])
            return CONNECT_E_NOCONNECTION;
        std::exchange(sinks_[cookie - 1], nullptr)->Release();
        state_.log += "Unadvise ";
        return S_OK;
    }
    NOTIMPL(EnumConnections(IEnumConnections**))

  private:
    void ReadAmbient() {
        IDispatch* ambient = nullptr;
        if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))))
            return;
        auto get = [](IDispatch* from, DISPID id, VARTYPE vt, VARIANT* v) {
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            VariantInit(v);
            return SUCCEEDED(from->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                          &none, v, nullptr, nullptr)) &&
                   SUCCEEDED(VariantChangeType(v, v, 0, vt));
        };
        const DISPID ids[] = {DISPID_AMBIENT_USERMODE, DISPID_AMBIENT_BACKCOLOR,
                              DISPID_AMBIENT_LOCALEID};
        VARIANT v, font;
        for (int i = 0; i < 3; ++i)
            if (get(ambient, ids[i], VT_I4, &v)) state_.ambient[i] = v.lVal;
        if (get(ambient, DISPID_AMBIENT_FONT, VT_DISPATCH, &font) && font.pdispVal) {
            if (get(font.pdispVal, DISPID_FONT_NAME, VT_BSTR, &v)) state_.fontName = v.bstrVal;
            VariantClear(&v);
            if (get(font.pdispVal, DISPID_FONT_SIZE, VT_CY, &v)) state_.fontSize = v.cyVal.int64;
        }
        VariantClear(&font);
        ambient->Release();
    }

    ULONG refs_ = 1;
    ProbeState& state_;
    IOleClientSite* site_ = nullptr;
    std::vector<IDispatch*> sinks_;
};

class ProbeFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* probe = new Probe;
        const HRESULT hr = probe->QueryInterface(iid, out);
        probe->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

}  // namespace

ProbeState& LastProbe() {
    if (g_states.empty()) g_states.push_back(std::make_unique<ProbeState>());
    return *g_states.back();
}
int LiveProbes() {
    return g_live;
}
HRESULT ProbeFire(const std::wstring& text) {
    return g_last ? g_last->Fire(text) : E_UNEXPECTED;
}

ProbeClassRegistration::ProbeClassRegistration() {
    CoRegisterClassObject(CLSID_ProbeControl, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                          &cookie_);
}

ProbeClassRegistration::~ProbeClassRegistration() {
    CoRevokeClassObject(cookie_);
}
