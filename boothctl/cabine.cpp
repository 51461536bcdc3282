#include "cabine.h"

// How the embedding interfaces behave, and why:
// - Where OLE offers a standard helper, it does the work: verbs and user type from the
//   registry (OleRegEnumVerbs, OleRegGetUserType), advise holders for IOleObject and
//   IDataObject, the shell's format enumerator.
// - In-place activation follows the usual container dialogue (CanInPlaceActivate,
//   OnInPlaceActivate[Ex], GetWindowContext, OnUIActivate, SetActiveObject); the control is
//   always windowed, so windowless messages are declined with S_FALSE.
// - The picture for IViewObject::Draw and IDataObject (a metafile) is the live window when it
//   exists, otherwise a plain frame with the control's name.
// - Only the extent (_cx, _cy in HIMETRIC) is persisted, in streams and in a storage's
//   "Contents" stream; a short or foreign stream is refused and changes nothing.
// - E_NOTIMPL only where it is the documented answer for "not supported" and no platform
//   default would do more: drop target, InitFromData, GetClipboardData, SetData, unknown
//   negative verbs, EnumFormatEtc for setting.

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlobj.h>
// clang-format on

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Tellarix_h.h"
#include "booth_window.h"
#include "com.h"
#include "events.h"
#include "text.h"

namespace tlx::boothctl {
namespace {

constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 0x20191);

// The layout needs 270 x 225 pixels; at 96 dots per inch that is this many HIMETRIC units.
constexpr LONG kPixelsWide = 270;
constexpr LONG kPixelsHigh = 225;
constexpr LONG kHimetricPerInch = 2540;

// Persisted form of the extent: a tag, then _cx and _cy as unsigned 32-bit HIMETRIC values.
constexpr DWORD kStreamTag = 0x54584C31;  // "1LXT"
constexpr ULONG kStreamSize = 3 * sizeof(DWORD);
constexpr wchar_t kStorageStream[] = L"Contents";

SIZEL DefaultExtent() {
    HDC screen = GetDC(nullptr);
    const int dpx = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpy = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return {MulDiv(kPixelsWide, kHimetricPerInch, dpx > 0 ? dpx : 96),
            MulDiv(kPixelsHigh, kHimetricPerInch, dpy > 0 ? dpy : 96)};
}

// Where the container asks for a picture while the control has no window: a plain frame with
// the control's name.
void DrawPlaceholder(HDC dc, const RECT& r) {
    HBRUSH back = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    FillRect(dc, &r, back);
    DeleteObject(back);
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    RECT text = r;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, "TellarixCabine", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The live window, drawn into any device context (printer, metafile, screen) at `r`: what the
// screen shows of it while it is visible, else what it paints when asked to print itself.
bool DrawWindowPicture(HWND window, HDC dc, const RECT& r) {
    RECT client;
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0) return false;
    HDC source = GetDC(window);
    if (source == nullptr) return false;
    HDC mem = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    HDC from = source;
    if (!IsWindowVisible(window)) {
        mem = CreateCompatibleDC(source);
        bmp = CreateCompatibleBitmap(source, client.right, client.bottom);
        if (mem && bmp) {
            old = SelectObject(mem, bmp);
            SendMessageA(window, WM_PRINT, reinterpret_cast<WPARAM>(mem),
                         PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | PRF_NONCLIENT);
            from = mem;
        }
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    const bool ok = StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, from, 0, 0,
                               client.right, client.bottom, SRCCOPY) != FALSE;
    if (old) SelectObject(mem, old);
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    ReleaseDC(window, source);
    return ok;
}

class CabineControl final : public ICabine,
                            public IViewObjectEx,
                            public IOleInPlaceObjectWindowless,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IOleObject,
                            public IPersistStreamInit,
                            public ISupportErrorInfo,
                            public IConnectionPointContainer,
                            public ISpecifyPropertyPages,
                            public IQuickActivate,
                            public IPersistStorage,
                            public IDataObject,
                            public IProvideClassInfo2 {
  public:
    explicit CabineControl(IUnknown* outer)
        : inner_(this),
          outer_(outer ? outer : &inner_),
          events_(outer_),
          window_([this](const std::string& text) { events_.FirePrintClick(text); }) {
        ModuleAddRef();
    }
    ~CabineControl() {
        window_.Destroy();
        ModuleRelease();
    }
    IUnknown* Inner() { return &inner_; }

    // IUnknown: always the controlling unknown's.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return outer_->QueryInterface(riid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    // IDispatch, from the type library's description of ICabine.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ComPtr<ITypeInfo> ti;
        if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
        *info = ti.Detach();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> ti;
        if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
        return DispGetIDsOfNames(ti.Get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> ti;
        if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
        return DispInvoke(static_cast<ICabine*>(this), ti.Get(), id, flags, params, result, excep,
                          arg_err);
    }

    // ICabine: every method succeeds; problems are shown to the operator by the window.
    STDMETHODIMP SetCabineName(BSTR* name) override {
        return Guarded([&] { window_.SetName(AnsiFromBstrRef(name)); });
    }
    STDMETHODIMP CallDial(BSTR* destination, BSTR* description, BSTR* rate) override {
        return Guarded([&] {
            window_.Dial(AnsiFromBstrRef(destination), AnsiFromBstrRef(description),
                         AnsiFromBstrRef(rate));
        });
    }
    STDMETHODIMP CallConnected() override {
        return Guarded([&] { window_.Connected(); });
    }
    STDMETHODIMP CallFinished(short* duration, double* cost) override {
        return Guarded([&] { window_.Finished(duration ? *duration : 0, cost ? *cost : 0.0); });
    }
    STDMETHODIMP CallFinishedEx(BSTR* cost) override {
        return Guarded([&] { window_.FinishedWithCostText(AnsiFromBstrRef(cost)); });
    }
    STDMETHODIMP CallRejected() override {
        return Guarded([&] { window_.Rejected(); });
    }
    STDMETHODIMP SetCurrency(BSTR* unit) override {
        return Guarded([&] { window_.SetCurrency(AnsiFromBstrRef(unit)); });
    }

    // IViewObject / IViewObject2 / IViewObjectEx
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (dc == nullptr) return E_INVALIDARG;
        RECT r;
        if (bounds != nullptr) {
            r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        } else if (window_.hwnd() != nullptr) {
            GetClientRect(window_.hwnd(), &r);
        } else {
            return E_INVALIDARG;
        }
        if (window_.hwnd() == nullptr || !DrawWindowPicture(window_.hwnd(), dc, r))
            DrawPlaceholder(dc, r);
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                             LOGPALETTE** colours) override {
        if (colours == nullptr) return E_POINTER;
        *colours = nullptr;
        return S_FALSE;  // any palette will do
    }
    STDMETHODIMP Freeze(DWORD aspect, LONG, void*, DWORD* cookie) override {
        if (cookie == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *cookie = ++freeze_count_;
        return S_OK;
    }
    STDMETHODIMP Unfreeze(DWORD) override {
        if (freeze_count_ == 0) return OLE_E_NOCONNECTION;
        --freeze_count_;
        return S_OK;
    }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override {
        view_sink_ = ComPtr<IAdviseSink>(sink);
        view_aspects_ = aspects;
        view_flags_ = flags;
        return S_OK;
    }
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override {
        if (aspects) *aspects = view_aspects_;
        if (flags) *flags = view_flags_;
        if (sink) {
            *sink = view_sink_.Get();
            if (*sink) (*sink)->AddRef();
        }
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        return GetExtent(aspect, size);
    }
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override {
        if (rect == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *rect = {0, 0, extent_.cx, extent_.cy};
        return S_OK;
    }
    STDMETHODIMP GetViewStatus(DWORD* status) override {
        if (status == nullptr) return E_POINTER;
        *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
        return S_OK;
    }
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT pt, LONG,
                               DWORD* result) override {
        if (bounds == nullptr || result == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *result = PtInRect(bounds, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT loc, LONG,
                              DWORD* result) override {
        if (bounds == nullptr || loc == nullptr || result == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        RECT both;
        *result = IntersectRect(&both, bounds, loc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO* info,
                                  LPSIZEL size) override {
        if (info == nullptr || size == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        // The layout is fixed: its natural size is the one it was drawn for.
        *size = DefaultExtent();
        return S_OK;
    }

    // IOleWindow / IOleInPlaceObject / IOleInPlaceObjectWindowless
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        if (hwnd == nullptr) return E_POINTER;
        *hwnd = window_.hwnd();
        return *hwnd ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }  // no help mode
    STDMETHODIMP InPlaceDeactivate() override {
        return Guarded([&] { DeactivateInPlace(); });
    }
    STDMETHODIMP UIDeactivate() override {
        return Guarded([&] { DeactivateUi(); });
    }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (pos == nullptr) return E_POINTER;
        // The children keep their fixed places; only the control window follows the site.
        if (window_.hwnd())
            MoveWindow(window_.hwnd(), pos->left, pos->top, pos->right - pos->left,
                       pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }
    STDMETHODIMP OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override {
        if (result) *result = 0;
        return S_FALSE;  // always windowed: its own window gets the messages
    }
    STDMETHODIMP GetDropTarget(IDropTarget** target) override {
        if (target == nullptr) return E_POINTER;
        *target = nullptr;
        return E_NOTIMPL;  // the documented answer of an object that takes no drops
    }

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
        if (info == nullptr) return E_POINTER;
        info->hAccel = nullptr;  // no mnemonics
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL freeze) override {
        // Counted only: a frozen container drops the events itself.
        if (freeze)
            ++events_frozen_;
        else if (events_frozen_ > 0)
            --events_frozen_;
        return S_OK;
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        site_ = ComPtr<IOleClientSite>(site);
        HWND owner = nullptr;
        ComPtr<IOleWindow> w;
        if (site_ && SUCCEEDED(site_.As(w))) w->GetWindow(&owner);
        window_.SetFallbackOwner(owner);
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        if (site == nullptr) return E_POINTER;
        *site = site_.Get();
        if (*site) (*site)->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD save) override {
        return Guarded([&] {
            DeactivateInPlace();
            if (dirty_ && site_ && save != OLECLOSE_NOSAVE) site_->SaveObject();
            if (ole_advise_) ole_advise_->SendOnClose();
        });
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return S_OK; }  // nothing to link
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override {
        if (moniker == nullptr) return E_POINTER;
        *moniker = nullptr;
        if (!site_) return E_UNEXPECTED;
        return site_->GetMoniker(assign, which, moniker);
    }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override {
        if (data == nullptr) return E_POINTER;
        *data = nullptr;
        return E_NOTIMPL;  // no snapshot of calls ever leaves the control
    }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override {
        return GuardedResult([&]() -> HRESULT {
            if (site != nullptr && !site_) SetClientSite(site);
            switch (verb) {
                case OLEIVERB_PRIMARY:
                case OLEIVERB_SHOW:
                case OLEIVERB_OPEN:
                case OLEIVERB_UIACTIVATE:
                    return Activate(true);
                case OLEIVERB_INPLACEACTIVATE:
                    return Activate(false);
                case OLEIVERB_HIDE:
                    DeactivateUi();
                    if (window_.hwnd()) ShowWindow(window_.hwnd(), SW_HIDE);
                    return S_OK;
                case OLEIVERB_PROPERTIES:  // there are no property pages to show
                case OLEIVERB_DISCARDUNDOSTATE:
                    return S_OK;
                default:
                    if (verb > 0) {
                        const HRESULT hr = Activate(true);
                        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
                    }
                    return E_NOTIMPL;
            }
        });
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override {
        return OleRegEnumVerbs(CLSID_TellarixCabine, verbs);
    }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override {
        return OleRegGetUserType(CLSID_TellarixCabine, form, type);
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override {
        if (size == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (size->cx != extent_.cx || size->cy != extent_.cy) dirty_ = true;
        extent_ = *size;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
        if (size == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        *size = extent_;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override {
        if (!ole_advise_) {
            if (HRESULT hr = CreateOleAdviseHolder(ole_advise_.Put()); FAILED(hr)) return hr;
        }
        return ole_advise_->Advise(sink, cookie);
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (!ole_advise_) return OLE_E_NOCONNECTION;
        return ole_advise_->Unadvise(cookie);
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override {
        if (e == nullptr) return E_POINTER;
        *e = nullptr;
        if (!ole_advise_) return E_FAIL;
        return ole_advise_->EnumAdvise(e);
    }
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override {
        if (status == nullptr) return E_POINTER;
        *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return S_OK; }

    // IPersist / IPersistStreamInit / IPersistStorage: only the extent is kept.
    STDMETHODIMP GetClassID(CLSID* clsid) override {
        if (clsid == nullptr) return E_POINTER;
        *clsid = CLSID_TellarixCabine;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override {
        if (stream == nullptr) return E_POINTER;
        DWORD data[3] = {};
        ULONG got = 0;
        HRESULT hr = stream->Read(data, kStreamSize, &got);
        if (FAILED(hr)) return hr;
        if (got != kStreamSize || data[0] != kStreamTag) return STG_E_READFAULT;
        extent_ = {static_cast<LONG>(data[1]), static_cast<LONG>(data[2])};
        dirty_ = false;
        return S_OK;
    }
    STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override {
        if (stream == nullptr) return E_POINTER;
        const DWORD data[3] = {kStreamTag, static_cast<DWORD>(extent_.cx),
                               static_cast<DWORD>(extent_.cy)};
        ULONG put = 0;
        HRESULT hr = stream->Write(data, kStreamSize, &put);
        if (FAILED(hr)) return hr;
        if (put != kStreamSize) return STG_E_WRITEFAULT;
        if (clear_dirty) dirty_ = false;
        return S_OK;
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
        if (size == nullptr) return E_POINTER;
        size->QuadPart = kStreamSize;
        return S_OK;
    }
    STDMETHODIMP InitNew() override {
        extent_ = DefaultExtent();
        dirty_ = false;
        return S_OK;
    }
    STDMETHODIMP InitNew(IStorage*) override { return InitNew(); }
    STDMETHODIMP Load(IStorage* storage) override {
        if (storage == nullptr) return E_POINTER;
        ComPtr<IStream> stream;
        HRESULT hr = storage->OpenStream(kStorageStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                         0, stream.Put());
        return FAILED(hr) ? hr : Load(stream.Get());
    }
    STDMETHODIMP Save(IStorage* storage, BOOL) override {
        if (storage == nullptr) return E_POINTER;
        ComPtr<IStream> stream;
        HRESULT hr = storage->CreateStream(
            kStorageStream, STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0, stream.Put());
        return FAILED(hr) ? hr : Save(stream.Get(), TRUE);
    }
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }

    // ISupportErrorInfo: no method ever sets error information, but ICabine is the interface
    // that could.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ICabine ? S_OK : S_FALSE;
    }

    // IConnectionPointContainer: one point, for _ICabineEvents.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return events_.EnumPoints(e);
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        if (point == nullptr) return E_POINTER;
        *point = nullptr;
        if (riid != DIID__ICabineEvents) return CONNECT_E_NOCONNECTION;
        *point = events_.Point();
        (*point)->AddRef();
        return S_OK;
    }

    // ISpecifyPropertyPages: none.
    STDMETHODIMP GetPages(CAUUID* pages) override {
        if (pages == nullptr) return E_POINTER;
        pages->cElems = 0;
        pages->pElems = nullptr;
        return S_OK;
    }

    // IQuickActivate: the site, the event sink and the view sink in one call.
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override {
        if (container == nullptr || control == nullptr) return E_POINTER;
        if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
            return E_INVALIDARG;
        SetClientSite(container->pClientSite);
        if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        control->dwEventCookie = 0;
        if (container->pUnkEventSink)
            events_.Point()->Advise(container->pUnkEventSink, &control->dwEventCookie);
        control->dwMiscStatus = kMiscStatus;
        control->dwViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
        control->dwPropNotifyCookie = 0;
        control->dwPointerActivationPolicy = 0;
        return S_OK;
    }
    STDMETHODIMP SetContentExtent(LPSIZEL size) override {
        return SetExtent(DVASPECT_CONTENT, size);
    }
    STDMETHODIMP GetContentExtent(LPSIZEL size) override {
        return GetExtent(DVASPECT_CONTENT, size);
    }

    // IDataObject: a metafile picture of the control, as containers paste it.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format == nullptr || medium == nullptr) return E_POINTER;
        if (HRESULT hr = QueryGetData(format); hr != S_OK) return hr;
        return GuardedResult([&] { return RenderMetafile(medium); });
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override {
        return DV_E_TYMED;  // a metafile picture is always handed over fresh
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (format == nullptr) return E_POINTER;
        if (format->cfFormat != CF_METAFILEPICT) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_MFPICT)) return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
        if (in == nullptr || out == nullptr) return E_POINTER;
        *out = *in;
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override {
        return E_NOTIMPL;  // nothing can be pasted into a booth
    }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** e) override {
        if (e == nullptr) return E_POINTER;
        *e = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC f{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
        return SHCreateStdEnumFmtEtc(1, &f, e);
    }
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                         DWORD* cookie) override {
        if (!data_advise_) {
            if (HRESULT hr = CreateDataAdviseHolder(data_advise_.Put()); FAILED(hr)) return hr;
        }
        return data_advise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, cookie);
    }
    STDMETHODIMP DUnadvise(DWORD cookie) override {
        if (!data_advise_) return OLE_E_NOCONNECTION;
        return data_advise_->Unadvise(cookie);
    }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** e) override {
        if (e == nullptr) return E_POINTER;
        *e = nullptr;
        if (!data_advise_) return OLE_E_ADVISENOTSUPPORTED;
        return data_advise_->EnumAdvise(e);
    }

    // IProvideClassInfo / IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        ComPtr<ITypeInfo> ti;
        if (HRESULT hr = LoadTypeInfo(CLSID_TellarixCabine, ti); FAILED(hr)) return hr;
        *info = ti.Detach();
        return S_OK;
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (guid == nullptr) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            *guid = GUID_NULL;
            return E_INVALIDARG;
        }
        *guid = DIID__ICabineEvents;
        return S_OK;
    }

  private:
    // The nondelegating IUnknown: the object's own identity and lifetime.
    struct InnerUnknown final : IUnknown {
        explicit InnerUnknown(CabineControl* self) : self(self) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
            if (out == nullptr) return E_POINTER;
            if (riid == IID_IUnknown) {
                *out = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            return QueryFromTable(self, kInterfaces, riid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override {
            const ULONG left = --refs;
            if (left == 0) delete self;
            return left;
        }
        CabineControl* self;
        ULONG refs = 1;
    };

    static const InterfaceEntry kInterfaces[];

    template <class F>
    HRESULT Guarded(F&& f) {
        try {
            f();
        } catch (...) {
            // Out of memory while handling an event; the method still reports success.
        }
        return S_OK;
    }
    template <class F>
    HRESULT GuardedResult(F&& f) {
        try {
            return f();
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT LoadTypeInfo(REFGUID guid, ComPtr<ITypeInfo>& out) {
        if (!type_library_) {
            wchar_t path[MAX_PATH * 4];
            const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH * 4);
            if (n == 0 || n >= MAX_PATH * 4) return TYPE_E_CANTLOADLIBRARY;
            if (HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, type_library_.Put()); FAILED(hr))
                return hr;
        }
        return type_library_->GetTypeInfoOfGuid(guid, out.Put());
    }

    HRESULT Activate(bool ui) {
        if (!site_) return E_UNEXPECTED;
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(site_.As(site))) return E_NOINTERFACE;
        if (!in_place_) {
            if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
            ComPtr<IOleInPlaceSiteEx> ex;
            BOOL no_redraw = FALSE;
            if (SUCCEEDED(site.As(ex)))
                ex->OnInPlaceActivateEx(&no_redraw, 0);
            else
                site->OnInPlaceActivate();
            in_place_ = true;
        }
        OLEINPLACEFRAMEINFO frame_info{};
        frame_info.cb = sizeof frame_info;
        RECT pos{}, clip{};
        frame_.Reset();
        doc_.Reset();
        HRESULT hr = site->GetWindowContext(frame_.Put(), doc_.Put(), &pos, &clip, &frame_info);
        if (FAILED(hr)) return hr;
        if (window_.hwnd() == nullptr) {
            HWND parent = nullptr;
            if (FAILED(hr = site->GetWindow(&parent)) || parent == nullptr) return E_FAIL;
            if (!window_.Create(parent, pos)) return HRESULT_FROM_WIN32(GetLastError());
        } else {
            SetObjectRects(&pos, &clip);
            ShowWindow(window_.hwnd(), SW_SHOW);
        }
        if (ui && !ui_active_) {
            ui_active_ = true;
            site->OnUIActivate();
            if (!IsChild(window_.hwnd(), GetFocus())) SetFocus(window_.hwnd());
            auto* active = static_cast<IOleInPlaceActiveObject*>(this);
            if (frame_) frame_->SetActiveObject(active, nullptr);
            if (doc_) doc_->SetActiveObject(active, nullptr);
            if (frame_) frame_->SetBorderSpace(nullptr);
            if (doc_) doc_->SetBorderSpace(nullptr);
        }
        return S_OK;
    }

    void DeactivateUi() {
        if (!ui_active_) return;
        ui_active_ = false;
        if (doc_) doc_->SetActiveObject(nullptr, nullptr);
        if (frame_) frame_->SetActiveObject(nullptr, nullptr);
        ComPtr<IOleInPlaceSite> site;
        if (site_ && SUCCEEDED(site_.As(site))) site->OnUIDeactivate(FALSE);
    }

    void DeactivateInPlace() {
        if (!in_place_) return;
        DeactivateUi();
        in_place_ = false;
        window_.Destroy();
        frame_.Reset();
        doc_.Reset();
        ComPtr<IOleInPlaceSite> site;
        if (site_ && SUCCEEDED(site_.As(site))) site->OnInPlaceDeactivate();
    }

    HRESULT RenderMetafile(STGMEDIUM* medium) {
        HDC dc = CreateMetaFileW(nullptr);
        if (dc == nullptr) return E_OUTOFMEMORY;
        // Drawn in pixels of the fixed layout, stretched to the extent by the receiver.
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, kPixelsWide, kPixelsHigh, nullptr);
        const RECTL bounds{0, 0, kPixelsWide, kPixelsHigh};
        Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
        HMETAFILE mf = CloseMetaFile(dc);
        if (mf == nullptr) return E_OUTOFMEMORY;
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT));
        auto* pict = mem ? static_cast<METAFILEPICT*>(GlobalLock(mem)) : nullptr;
        if (pict == nullptr) {
            if (mem) GlobalFree(mem);
            DeleteMetaFile(mf);
            return E_OUTOFMEMORY;
        }
        pict->mm = MM_ANISOTROPIC;
        pict->xExt = extent_.cx;
        pict->yExt = extent_.cy;
        pict->hMF = mf;
        GlobalUnlock(mem);
        medium->tymed = TYMED_MFPICT;
        medium->hMetaFilePict = mem;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }

    InnerUnknown inner_;
    IUnknown* outer_;
    EventPoint events_;
    BoothWindow window_;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> doc_;
    ComPtr<IAdviseSink> view_sink_;
    ComPtr<IOleAdviseHolder> ole_advise_;
    ComPtr<IDataAdviseHolder> data_advise_;
    ComPtr<ITypeLib> type_library_;
    DWORD view_aspects_ = 0;
    DWORD view_flags_ = 0;
    DWORD freeze_count_ = 0;
    LONG events_frozen_ = 0;
    SIZEL extent_ = DefaultExtent();
    bool dirty_ = false;
    bool in_place_ = false;
    bool ui_active_ = false;
};

// Answered in this order; _ICabineEvents is outgoing and never among them.
const InterfaceEntry CabineControl::kInterfaces[] = {
    {&IID_ICabine, OffsetOf<ICabine, CabineControl>()},
    {&IID_IDispatch, OffsetOf<ICabine, CabineControl>()},
    {&IID_IViewObjectEx, OffsetOf<IViewObjectEx, CabineControl>()},
    {&IID_IViewObject2, OffsetOf<IViewObjectEx, CabineControl>()},
    {&IID_IViewObject, OffsetOf<IViewObjectEx, CabineControl>()},
    {&IID_IOleInPlaceObjectWindowless, OffsetOf<IOleInPlaceObjectWindowless, CabineControl>()},
    {&IID_IOleInPlaceObject, OffsetOf<IOleInPlaceObjectWindowless, CabineControl>()},
    {&IID_IOleWindow, OffsetOf<IOleInPlaceObjectWindowless, CabineControl>()},
    {&IID_IOleInPlaceActiveObject, OffsetOf<IOleInPlaceActiveObject, CabineControl>()},
    {&IID_IOleControl, OffsetOf<IOleControl, CabineControl>()},
    {&IID_IOleObject, OffsetOf<IOleObject, CabineControl>()},
    {&IID_IPersistStreamInit, OffsetOf<IPersistStreamInit, CabineControl>()},
    {&IID_IPersist, OffsetOf<IPersistStreamInit, CabineControl>()},
    {&IID_ISupportErrorInfo, OffsetOf<ISupportErrorInfo, CabineControl>()},
    {&IID_IConnectionPointContainer, OffsetOf<IConnectionPointContainer, CabineControl>()},
    {&IID_ISpecifyPropertyPages, OffsetOf<ISpecifyPropertyPages, CabineControl>()},
    {&IID_IQuickActivate, OffsetOf<IQuickActivate, CabineControl>()},
    {&IID_IPersistStorage, OffsetOf<IPersistStorage, CabineControl>()},
    {&IID_IDataObject, OffsetOf<IDataObject, CabineControl>()},
    {&IID_IProvideClassInfo, OffsetOf<IProvideClassInfo2, CabineControl>()},
    {&IID_IProvideClassInfo2, OffsetOf<IProvideClassInfo2, CabineControl>()},
    {nullptr, 0},
};

}  // namespace

HRESULT CreateCabine(IUnknown* outer, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    CabineControl* control = nullptr;
    try {
        control = new CabineControl(outer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    // The creation reference is dropped after the query, so a failed query frees the object.
    IUnknown* inner = control->Inner();
    const HRESULT hr = inner->QueryInterface(riid, out);
    inner->Release();
    return hr;
}

}  // namespace tlx::boothctl
