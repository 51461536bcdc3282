#include "control_site.h"

#include <commctrl.h>

#include <atomic>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tellarix {

namespace {

constexpr wchar_t kWrapperClass[] = L"TellarixControlHost";

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// Pixels per logical inch of the screen, for HIMETRIC conversions.
SIZE ScreenDpi() {
    SIZE dpi{96, 96};
    if (HDC dc = GetDC(nullptr)) {
        dpi.cx = GetDeviceCaps(dc, LOGPIXELSX);
        dpi.cy = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    return dpi;
}

constexpr LONG kHimetricPerInch = 2540;

LONG PixelsToHimetric(LONG px, LONG dpi) {
    return MulDiv(px, kHimetricPerInch, dpi);
}
LONG HimetricToPixels(LONG hm, LONG dpi) {
    return MulDiv(hm, dpi, kHimetricPerInch);
}

// The control's own window also claims all keys: the focus sits there, and that is the window
// the dialog manager asks. Plain window-procedure subclassing with the control's procedure kept
// here: the common controls' kind looks its data up in a window property on every message, a
// trip to the window server each time under Wine, and a booth's window sees several messages
// per call event. UI thread only, like every site.
std::unordered_map<HWND, WNDPROC>& KeyClaimingWindows() {
    static std::unordered_map<HWND, WNDPROC> windows;
    return windows;
}

LRESULT CALLBACK WantAllKeysProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto& windows = KeyClaimingWindows();
    const auto it = windows.find(hwnd);
    if (it == windows.end()) return DefWindowProcW(hwnd, msg, wp, lp);
    const WNDPROC own = it->second;
    if (msg == WM_GETDLGCODE) return CallWindowProcW(own, hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        windows.erase(it);
    }
    return CallWindowProcW(own, hwnd, msg, wp, lp);
}

void ClaimAllKeys(HWND hwnd) {
    auto& windows = KeyClaimingWindows();
    if (windows.count(hwnd) != 0) return;
    auto [it, added] = windows.emplace(hwnd, nullptr);  // may throw: nothing changed yet
    it->second = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WantAllKeysProc)));
    if (it->second == nullptr) windows.erase(it);
}

void StopClaimingKeys(HWND hwnd) {
    auto& windows = KeyClaimingWindows();
    const auto it = windows.find(hwnd);
    if (it == windows.end()) return;
    // Only while nobody subclassed after us; otherwise the chain still passes through here
    // and the entry stays until the window goes.
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&WantAllKeysProc))
        return;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second));
    windows.erase(it);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The site the control talks to. A COM object in its own right: the control may hold references
// past our teardown, so it never points back at freed memory (Detach cuts the links).
class SiteObject final : public IOleClientSite,
                         public IOleInPlaceSiteEx,
                         public IOleInPlaceFrame,
                         public IOleControlSite,
                         public IDispatch {
  public:
    SiteObject(HWND wrapper, AmbientProperties ambient)
        : wrapper_(wrapper), ambient_(std::move(ambient)) {}

    void Detach() noexcept {
        wrapper_ = nullptr;
        inPlace_ = nullptr;
        active_.Reset();
    }
    void SetInPlace(IOleInPlaceObject* inPlace) noexcept { inPlace_ = inPlace; }
    void SetAmbient(AmbientProperties a) { ambient_ = std::move(a); }
    IOleInPlaceActiveObject* Active() const noexcept { return active_.Get(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite ||
                 iid == IID_IOleInPlaceSiteEx)
            *out = static_cast<IOleInPlaceSiteEx*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IOleControlSite)
            *out = static_cast<IOleControlSite*>(this);
        else if (iid == IID_IDispatch)
            *out = static_cast<IDispatch*>(this);
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

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = wrapper_;
        return wrapper_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return wrapper_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override {
        if (frame) {
            *frame = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
        }
        if (doc) *doc = nullptr;  // the frame is also the document window
        RECT client{};
        if (wrapper_) GetClientRect(wrapper_, &client);
        if (pos) *pos = client;
        if (clip) *clip = client;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = wrapper_ ? GetAncestor(wrapper_, GA_ROOT) : nullptr;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override {
        if (inPlace_) inPlace_->UIDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        // The control asked for another size; it gets it, clipped to nothing else.
        if (inPlace_) return inPlace_->SetObjectRects(rect, rect);
        return S_OK;
    }

    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override {
        if (noRedraw) *noRedraw = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }

    // IOleInPlaceUIWindow / IOleInPlaceFrame: no toolbars, menus or status line to share.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override {
        active_ = ComPtr<IOleInPlaceActiveObject>(active);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** disp) override {
        if (disp) *disp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container,
                                              DWORD flags) override {
        if (!himetric || !container) return E_POINTER;
        const SIZE dpi = ScreenDpi();
        if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
            container->x = static_cast<float>(HimetricToPixels(himetric->x, dpi.cx));
            container->y = static_cast<float>(HimetricToPixels(himetric->y, dpi.cy));
        } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
            himetric->x = PixelsToHimetric(static_cast<LONG>(container->x), dpi.cx);
            himetric->y = PixelsToHimetric(static_cast<LONG>(container->y), dpi.cy);
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ti) override {
        if (ti) *ti = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (!result) return E_POINTER;
        VariantInit(result);
        auto boolean = [result](bool b) {
            result->vt = VT_BOOL;
            result->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        };
        switch (id) {
            case DISPID_AMBIENT_USERMODE:
                return boolean(ambient_.userMode);
            case DISPID_AMBIENT_BACKCOLOR:
            case DISPID_AMBIENT_FORECOLOR:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(
                    id == DISPID_AMBIENT_BACKCOLOR ? ambient_.backColor : ambient_.foreColor);
                return S_OK;
            case DISPID_AMBIENT_LOCALEID:
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(ambient_.locale);
                return S_OK;
            case DISPID_AMBIENT_DISPLAYNAME:
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocStringLen(ambient_.displayName.data(),
                                                    static_cast<UINT>(ambient_.displayName.size()));
                return result->bstrVal ? S_OK : E_OUTOFMEMORY;
            case DISPID_AMBIENT_FONT:
                return AmbientFont(result);
            case DISPID_AMBIENT_MESSAGEREFLECT:
            case DISPID_AMBIENT_UIDEAD:
            case DISPID_AMBIENT_SHOWGRABHANDLES:
            case DISPID_AMBIENT_SHOWHATCHING:
            case DISPID_AMBIENT_DISPLAYASDEFAULT:
            case DISPID_AMBIENT_SUPPORTSMNEMONICS:
                return boolean(false);
            case DISPID_AMBIENT_AUTOCLIP:
                return boolean(true);
            case DISPID_AMBIENT_APPEARANCE:
                result->vt = VT_I2;
                result->iVal = 1;  // three-dimensional
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    ~SiteObject() = default;

    HRESULT AmbientFont(VARIANT* result) {
        FONTDESC desc{};
        desc.cbSizeofstruct = sizeof desc;
        desc.lpstrName = const_cast<LPOLESTR>(ambient_.fontName.c_str());
        desc.cySize.int64 = static_cast<LONGLONG>(ambient_.fontPoints) * 10000;
        desc.sWeight = FW_NORMAL;
        desc.sCharset = DEFAULT_CHARSET;
        IFontDisp* font = nullptr;
        HRESULT hr = OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&font));
        if (FAILED(hr)) return hr;
        result->vt = VT_DISPATCH;
        result->pdispVal = font;
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    HWND wrapper_;
    AmbientProperties ambient_;
    IOleInPlaceObject* inPlace_ = nullptr;  // not counted: ControlSite holds it
    ComPtr<IOleInPlaceActiveObject> active_;
};

// ---------------------------------------------------------------------------------------------
// The sink advised on the control's outgoing interface. Like the site it may outlive us in the
// control's hands; Disconnect drops the handler so a late event reaches nothing.
class EventSink final : public IDispatch {
  public:
    EventSink(IID iid, EventHandler handler) : iid_(iid), handler_(std::move(handler)) {}
    void Disconnect() noexcept { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != iid_) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ti) override {
        if (ti) *ti = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (!handler_) return S_OK;
        // The handler may tear its own site down, which unadvises and releases this sink:
        // keep both alive until the call returns.
        ComPtr<EventSink> self(this);
        EventHandler handler = handler_;
        try {
            return handler(id, params);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

  private:
    ~EventSink() = default;
    std::atomic<ULONG> refs_{1};
    IID iid_;
    EventHandler handler_;
};

// ---------------------------------------------------------------------------------------------
namespace {

LRESULT CALLBACK WrapperProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* site = reinterpret_cast<ControlSite*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_GETDLGCODE:
            if (site && site->WantsAllKeys()) return DLGC_WANTALLKEYS;
            break;
        case WM_SIZE:
            if (site) {
                RECT client{0, 0, LOWORD(lp), HIWORD(lp)};
                if (auto inPlace = site->QueryControl<IOleInPlaceObject>(IID_IOleInPlaceObject))
                    inPlace->SetObjectRects(&client, &client);
            }
            return 0;
        case WM_SETFOCUS:
            if (site && site->ControlWindow() && IsWindow(site->ControlWindow()))
                SetFocus(site->ControlWindow());
            return 0;
        case WM_ERASEBKGND:
            if (site && site->ControlWindow()) return 1;  // the control paints it all
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterWrapperClass(HINSTANCE module) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(module, kWrapperClass, &wc)) return true;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WrapperProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWrapperClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The control's default outgoing interface, from its class information.
HRESULT DefaultSourceIid(IUnknown* control, IID* iid) {
    ComPtr<IProvideClassInfo2> info2;
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, info2.PutVoid())) &&
        SUCCEEDED(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, iid)))
        return S_OK;

    ComPtr<IProvideClassInfo> info;
    HRESULT hr = control->QueryInterface(IID_IProvideClassInfo, info.PutVoid());
    if (FAILED(hr)) return CONNECT_E_NOCONNECTION;
    ComPtr<ITypeInfo> coclass;
    hr = info->GetClassInfo(coclass.Put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = coclass->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const WORD count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
            (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(coclass->GetRefTypeInfo(ref, source.Put())))
            continue;
        TYPEATTR* sattr = nullptr;
        if (FAILED(source->GetTypeAttr(&sattr))) continue;
        *iid = sattr->guid;
        source->ReleaseTypeAttr(sattr);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

// The class factories of the controls in use. A page of booths creates many controls of one
// class: the factory is looked up in the registry once and kept while any of them lives.
class FactoryCache {
  public:
    HRESULT Create(const CLSID& clsid, ComPtr<IOleObject>& object) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry* entry = Find(clsid);
        if (entry == nullptr) {
            ComPtr<IClassFactory> factory;
            const HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr,
                                                IID_IClassFactory, factory.PutVoid());
            if (FAILED(hr)) return hr;
            entries_.push_back({clsid, std::move(factory), 0});
            entry = &entries_.back();
        }
        const HRESULT hr =
            entry->factory->CreateInstance(nullptr, IID_IOleObject, object.PutVoid());
        if (SUCCEEDED(hr)) {
            ++entry->users;
        } else if (entry->users == 0) {
            Drop(clsid);
        }
        return hr;
    }
    void Release(const CLSID& clsid) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry* entry = Find(clsid);
        if (entry != nullptr && --entry->users <= 0) Drop(clsid);
    }

  private:
    struct Entry {
        CLSID clsid;
        ComPtr<IClassFactory> factory;
        int users;
    };
    Entry* Find(const CLSID& clsid) {
        for (Entry& e : entries_)
            if (IsEqualCLSID(e.clsid, clsid)) return &e;
        return nullptr;
    }
    void Drop(const CLSID& clsid) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (IsEqualCLSID(it->clsid, clsid)) {
                entries_.erase(it);
                return;
            }
        }
    }
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

FactoryCache& Factories() {
    static FactoryCache cache;
    return cache;
}

}  // namespace

std::unique_ptr<ControlSite> ControlSite::Create(HWND parent, const CLSID& clsid, const RECT& rect,
                                                 int id, EventHandler onEvent,
                                                 const SiteOptions& options,
                                                 HRESULT* result) noexcept {
    HRESULT hr = E_OUTOFMEMORY;
    std::unique_ptr<ControlSite> site;
    try {
        site.reset(new ControlSite());
        hr = site->Init(parent, clsid, rect, id, std::move(onEvent), options);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    if (result) *result = hr;
    if (FAILED(hr)) site.reset();  // the destructor undoes whatever was done
    return site;
}

HRESULT ControlSite::Init(HWND parent, const CLSID& clsid, const RECT& rect, int id,
                          EventHandler onEvent, const SiteOptions& options) {
    HINSTANCE module = ThisModule();
    if (!RegisterWrapperClass(module)) return HRESULT_FROM_WIN32(GetLastError());

    const DWORD style =
        WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (options.visible ? WS_VISIBLE : 0);
    wrapper_ = CreateWindowExW(0, kWrapperClass, L"", style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, this);
    if (!wrapper_) return HRESULT_FROM_WIN32(GetLastError());
    wantAllKeys_ = options.wantAllKeys;

    site_ = ComPtr<SiteObject>::Adopt(new SiteObject(wrapper_, options.ambient));

    HRESULT hr = Factories().Create(clsid, object_);
    if (FAILED(hr)) return hr;
    clsid_ = clsid;

    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    IOleClientSite* clientSite = static_cast<IOleClientSite*>(site_.Get());
    if (misc & OLEMISC_SETCLIENTSITEFIRST) {
        hr = object_->SetClientSite(clientSite);
        if (FAILED(hr)) return hr;
    }
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) {
        hr = persist->InitNew();
        if (FAILED(hr) && hr != E_NOTIMPL) return hr;
    }
    if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) {
        hr = object_->SetClientSite(clientSite);
        if (FAILED(hr)) return hr;
    }
    object_->SetHostNames(L"Tellarix", nullptr);

    if (onEvent) {
        hr = ConnectEvents(std::move(onEvent), options.eventIid);
        if (FAILED(hr)) return hr;
    }

    RECT client{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    const SIZE dpi = ScreenDpi();
    SIZEL extent{PixelsToHimetric(client.right, dpi.cx), PixelsToHimetric(client.bottom, dpi.cy)};
    object_->SetExtent(DVASPECT_CONTENT, &extent);

    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, wrapper_, &client);
    if (FAILED(hr)) return hr;

    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace_.PutVoid()))) {
        site_->SetInPlace(inPlace_.Get());
        if (FAILED(inPlace_->GetWindow(&controlWindow_))) controlWindow_ = nullptr;
    }
    if (wantAllKeys_ && controlWindow_) ClaimAllKeys(controlWindow_);
    return S_OK;
}

HRESULT ControlSite::ConnectEvents(EventHandler onEvent, const std::optional<IID>& eventIid) {
    IID iid{};
    if (eventIid) {
        iid = *eventIid;
    } else {
        HRESULT hr = DefaultSourceIid(object_.Get(), &iid);
        if (FAILED(hr)) return hr;
    }
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = object_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(iid, eventPoint_.Put());
    if (FAILED(hr)) return hr;
    sink_ = ComPtr<EventSink>::Adopt(new EventSink(iid, std::move(onEvent)));
    hr = eventPoint_->Advise(static_cast<IDispatch*>(sink_.Get()), &adviseCookie_);
    if (FAILED(hr)) adviseCookie_ = 0;
    return hr;
}

ControlSite::~ControlSite() {
    TearDown();
}

void ControlSite::TearDown() noexcept {
    // Events first, so nothing reaches the console from a control that is going away.
    if (eventPoint_ && adviseCookie_) eventPoint_->Unadvise(adviseCookie_);
    adviseCookie_ = 0;
    eventPoint_.Reset();
    if (sink_) sink_->Disconnect();
    sink_.Reset();

    if (controlWindow_ && wantAllKeys_ && IsWindow(controlWindow_))
        StopClaimingKeys(controlWindow_);
    if (inPlace_) inPlace_->InPlaceDeactivate();
    if (site_) site_->SetInPlace(nullptr);
    inPlace_.Reset();
    controlWindow_ = nullptr;
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    if (site_) site_->Detach();
    site_.Reset();
    if (clsid_) Factories().Release(*clsid_);
    clsid_.reset();
    if (wrapper_ && IsWindow(wrapper_)) {
        SetWindowLongPtrW(wrapper_, GWLP_USERDATA, 0);
        DestroyWindow(wrapper_);
    }
    wrapper_ = nullptr;
}

void ControlSite::Show() noexcept {
    if (wrapper_) ShowWindow(wrapper_, SW_SHOWNA);
}

void ControlSite::Hide() noexcept {
    if (wrapper_) ShowWindow(wrapper_, SW_HIDE);
}

void ControlSite::Move(const RECT& rect) noexcept {
    if (!wrapper_) return;
    // WM_SIZE hands the new size to the control.
    SetWindowPos(wrapper_, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlSite::SetAmbient(const AmbientProperties& ambient) noexcept {
    if (!site_) return;
    try {
        site_->SetAmbient(ambient);
    } catch (...) {
        return;  // out of memory copying texts: the control keeps the old values
    }
    if (auto control = QueryControl<IOleControl>(IID_IOleControl))
        control->OnAmbientPropertyChange(DISPID_UNKNOWN);
}

bool ControlSite::TranslateAccelerator(MSG* msg) noexcept {
    if (!site_ || !msg) return false;
    IOleInPlaceActiveObject* active = site_->Active();
    return active && active->TranslateAccelerator(msg) == S_OK;
}

std::optional<std::wstring> EventArgText(const DISPPARAMS* params, unsigned index) {
    if (!params || !params->rgvarg || index >= params->cArgs) return std::nullopt;
    const VARIANT* v = &params->rgvarg[params->cArgs - 1 - index];
    while (v->vt == (VT_VARIANT | VT_BYREF)) {
        v = v->pvarVal;
        if (!v) return std::nullopt;
    }
    BSTR text = nullptr;
    if (v->vt == VT_BSTR)
        text = v->bstrVal;
    else if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal)
        text = *v->pbstrVal;
    else
        return std::nullopt;
    if (!text) return std::wstring();
    return std::wstring(text, SysStringLen(text));
}

}  // namespace tellarix
