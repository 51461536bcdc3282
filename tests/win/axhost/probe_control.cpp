#include "probe_control.h"

#include <olectl.h>

#include <algorithm>
#include <memory>

// {6F0C2A41-5B1E-4C57-9A3E-2D1B7E5C9A01}
const CLSID CLSID_ProbeControl = {
    0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0x2d, 0x1b, 0x7e, 0x5c, 0x9a, 0x01}};
// {6F0C2A41-5B1E-4C57-9A3E-2D1B7E5C9A02}
const CLSID CLSID_ProbeControlNoInfo = {
    0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0x2d, 0x1b, 0x7e, 0x5c, 0x9a, 0x02}};
// {6F0C2A41-5B1E-4C57-9A3E-2D1B7E5C9A03}
const IID DIID_ProbeEvents = {
    0x6f0c2a41, 0x5b1e, 0x4c57, {0x9a, 0x3e, 0x2d, 0x1b, 0x7e, 0x5c, 0x9a, 0x03}};

namespace {

int g_live = 0;
std::vector<std::unique_ptr<ProbeState>> g_states;
class Probe* g_lastProbe = nullptr;

ProbeState& NewState() {
    g_states.push_back(std::make_unique<ProbeState>());
    return *g_states.back();
}

template <class T>
T* Ref(T* p) {
    if (p) p->AddRef();
    return p;
}

class Probe;

class ProbePoint final : public IConnectionPoint {
  public:
    explicit ProbePoint(Probe* owner) : owner_(owner) { ++g_live; }
    ~ProbePoint() {
        for (auto* s : sinks_)
            if (s) s->Release();
        --g_live;
    }
    std::vector<IDispatch*> sinks_;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = DIID_ProbeEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    Probe* owner_;

  private:
    ULONG refs_ = 1;
};

class Probe final : public IOleObject,
                    public IOleInPlaceObject,
                    public IOleControl,
                    public IConnectionPointContainer,
                    public IProvideClassInfo2 {
  public:
    explicit Probe(bool withInfo) : withInfo_(withInfo), state_(NewState()) {
        ++g_live;
        g_lastProbe = this;
        point_ = new ProbePoint(this);
    }
    ~Probe() {
        if (state_.window) DestroyWindow(state_.window);
        if (site_) site_->Release();
        point_->owner_ = nullptr;
        point_->Release();
        if (g_lastProbe == this) g_lastProbe = nullptr;
        --g_live;
    }
    ProbeState& State() { return state_; }
    ProbePoint* Point() { return point_; }

    HRESULT Fire(const std::wstring& text) {
        AddRef();  // a handler may release us while we fire
        HRESULT last = S_OK;
        for (IDispatch* sink : std::vector<IDispatch*>(point_->sinks_)) {
            if (!sink) continue;
            VARIANT arg;
            VariantInit(&arg);
            arg.vt = VT_BSTR;
            arg.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            DISPPARAMS params{&arg, nullptr, 1, 0};
            HRESULT hr = sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      nullptr, nullptr, nullptr);
            VariantClear(&arg);
            if (FAILED(hr)) last = hr;
        }
        state_.lastFireResult = last;
        Release();
        return last;
    }

    // IUnknown
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
        else if (withInfo_ && (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2))
            *out = static_cast<IProvideClassInfo2*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        state_.calls.push_back(site ? "SetClientSite" : "SetClientSite(null)");
        if (site_) site_->Release();
        site_ = Ref(site);
        if (site) ReadAmbient();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        *site = Ref(site_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override {
        state_.calls.push_back("Close");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT) override {
        state_.calls.push_back("DoVerb");
        if (verb != OLEIVERB_INPLACEACTIVATE || state_.window) return S_OK;
        IOleInPlaceSite* inPlace = nullptr;
        if (!site ||
            FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
            return E_UNEXPECTED;
        HRESULT hr = inPlace->CanInPlaceActivate();
        if (hr == S_OK) hr = inPlace->OnInPlaceActivate();
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* doc = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
        HWND siteWindow = nullptr;
        if (SUCCEEDED(hr)) hr = inPlace->GetWindowContext(&frame, &doc, &pos, &clip, &info);
        if (SUCCEEDED(hr)) hr = inPlace->GetWindow(&siteWindow);
        if (frame) frame->Release();
        if (doc) doc->Release();
        inPlace->Release();
        if (FAILED(hr)) return hr;
        if (siteWindow != parent) return E_UNEXPECTED;
        state_.activatedAt = pos;
        state_.window = CreateWindowExW(0, L"TellarixProbe", L"", WS_CHILD | WS_VISIBLE, pos.left,
                                        pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                        siteWindow, nullptr, GetModuleHandleW(nullptr), this);
        return state_.window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override {
        *id = CLSID_ProbeControl;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        *hwnd = state_.window;
        return state_.window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        state_.calls.push_back("InPlaceDeactivate");
        if (state_.window) DestroyWindow(state_.window);
        state_.window = nullptr;
        IOleInPlaceSite* inPlace = nullptr;
        if (site_ && SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite,
                                                     reinterpret_cast<void**>(&inPlace)))) {
            inPlace->OnInPlaceDeactivate();
            inPlace->Release();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override {
        state_.objectRects = *pos;
        if (state_.window)
            MoveWindow(state_.window, pos->left, pos->top, pos->right - pos->left,
                       pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override {
        state_.calls.push_back("OnAmbientPropertyChange");
        ReadAmbient();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = nullptr;
        if (iid != DIID_ProbeEvents) return CONNECT_E_NOCONNECTION;
        *cp = Ref(static_cast<IConnectionPoint*>(point_));
        return S_OK;
    }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ti) override {
        *ti = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = DIID_ProbeEvents;
        return S_OK;
    }

  private:
    void ReadAmbient() {
        IDispatch* ambient = nullptr;
        if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))))
            return;
        auto get = [ambient](DISPID id, VARIANT* v) {
            VariantInit(v);
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            return ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                   v, nullptr, nullptr);
        };
        VARIANT v;
        if (SUCCEEDED(get(DISPID_AMBIENT_USERMODE, &v)) && v.vt == VT_BOOL)
            state_.ambientUserMode = v.boolVal != VARIANT_FALSE;
        VariantClear(&v);
        if (SUCCEEDED(get(DISPID_AMBIENT_BACKCOLOR, &v)) &&
            SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
            state_.ambientBackColor = v.lVal;
        VariantClear(&v);
        if (SUCCEEDED(get(DISPID_AMBIENT_LOCALEID, &v)) &&
            SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
            state_.ambientLocale = v.lVal;
        VariantClear(&v);
        if (SUCCEEDED(get(DISPID_AMBIENT_FONT, &v)) && v.vt == VT_DISPATCH && v.pdispVal) {
            IFont* font = nullptr;
            if (SUCCEEDED(v.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)))) {
                BSTR name = nullptr;
                if (SUCCEEDED(font->get_Name(&name)) && name) state_.ambientFontName = name;
                SysFreeString(name);
                font->get_Size(&state_.ambientFontSize);
                font->Release();
            }
        }
        VariantClear(&v);
        ambient->Release();
    }

    ULONG refs_ = 1;
    bool withInfo_;
    ProbeState& state_;
    IOleClientSite* site_ = nullptr;
    ProbePoint* point_ = nullptr;
};

ULONG ProbePoint::AddRef() {
    return ++refs_;
}
ULONG ProbePoint::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}
HRESULT ProbePoint::GetConnectionPointContainer(IConnectionPointContainer** c) {
    *c = owner_ ? Ref(static_cast<IConnectionPointContainer*>(owner_)) : nullptr;
    return owner_ ? S_OK : E_UNEXPECTED;
}
HRESULT ProbePoint::Advise(IUnknown* sink, DWORD* cookie) {
    IDispatch* disp = nullptr;
    // A sink that does not answer for the event interface itself would miss events.
    if (!sink || FAILED(sink->QueryInterface(DIID_ProbeEvents, reinterpret_cast<void**>(&disp))))
        return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back(disp);
    *cookie = static_cast<DWORD>(sinks_.size());
    if (owner_) {
        owner_->State().calls.push_back("Advise");
        ++owner_->State().sinks;
    }
    return S_OK;
}
HRESULT ProbePoint::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks_[cookie - 1]->Release();
    sinks_[cookie - 1] = nullptr;
    if (owner_) {
        owner_->State().calls.push_back("Unadvise");
        --owner_->State().sinks;
    }
    return S_OK;
}

LRESULT CALLBACK ProbeWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* probe = reinterpret_cast<Probe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_LBUTTONUP && probe) {
        // Like a booth's Print button: the click becomes an event carrying a text.
        std::wstring text = L"click " + std::to_wstring(static_cast<short>(LOWORD(lp))) + L"," +
                            std::to_wstring(static_cast<short>(HIWORD(lp)));
        probe->Fire(text);
        return 0;
    }
    if (msg == WM_NCDESTROY && probe) probe->State().window = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class ProbeFactory final : public IClassFactory {
  public:
    explicit ProbeFactory(bool withInfo) : withInfo_(withInfo) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* probe = new Probe(withInfo_);
        HRESULT hr = probe->QueryInterface(iid, out);
        probe->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    bool withInfo_;
};

ProbeFactory g_factoryWithInfo(true);
ProbeFactory g_factoryNoInfo(false);

}  // namespace

int ProbeState::IndexOf(const std::string& call) const {
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : static_cast<int>(it - calls.begin());
}

ProbeState& ProbeRegistry::Last() {
    if (g_states.empty()) NewState();
    return *g_states.back();
}
int ProbeRegistry::LiveObjects() {
    return g_live;
}
void ProbeRegistry::Reset() {
    g_states.clear();
    NewState();
}

HRESULT ProbeFire(const std::wstring& text) {
    return g_lastProbe ? g_lastProbe->Fire(text) : E_UNEXPECTED;
}

ProbeClassRegistration::ProbeClassRegistration() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TellarixProbe";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    CoRegisterClassObject(CLSID_ProbeControl, &g_factoryWithInfo, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookies_[0]);
    CoRegisterClassObject(CLSID_ProbeControlNoInfo, &g_factoryNoInfo, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookies_[1]);
}

ProbeClassRegistration::~ProbeClassRegistration() {
    for (DWORD c : cookies_)
        if (c) CoRevokeClassObject(c);
}
