// The booth control embedded in its container: IOleObject, in-place activation, the active
// object, IOleControl and quick activation.
#include "boothctl/cabine.h"

namespace tlx::boothctl {
namespace {

constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 0x20191);  // registered as MiscStatus\1 = 131473

}  // namespace

using win32::ComPtr;

// IOleWindow / IOleInPlaceObject / IOleInPlaceObjectWindowless

HRESULT STDMETHODCALLTYPE CabineControl::GetWindow(HWND* hwnd) {
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = window_.hwnd();
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CabineControl::ContextSensitiveHelp(BOOL) {
    return S_OK;  // no help mode
}

HRESULT STDMETHODCALLTYPE CabineControl::InPlaceDeactivate() {
    return Guarded([&] { DeactivateInPlace(); });
}

HRESULT STDMETHODCALLTYPE CabineControl::UIDeactivate() {
    return Guarded([&] { DeactivateUi(); });
}

HRESULT STDMETHODCALLTYPE CabineControl::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (pos == nullptr) return E_POINTER;
    // The children keep their fixed places; only the control window follows the site.
    if (window_.hwnd())
        MoveWindow(window_.hwnd(), pos->left, pos->top, pos->right - pos->left,
                   pos->bottom - pos->top, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}

HRESULT STDMETHODCALLTYPE CabineControl::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
    if (result) *result = 0;
    return S_FALSE;  // always windowed: its own window gets the messages
}

HRESULT STDMETHODCALLTYPE CabineControl::GetDropTarget(IDropTarget** target) {
    if (target == nullptr) return E_POINTER;
    *target = nullptr;
    return E_NOTIMPL;  // the documented answer of an object that takes no drops
}

// IOleInPlaceActiveObject: no accelerators, no borders, nothing modal.

HRESULT STDMETHODCALLTYPE CabineControl::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}
HRESULT STDMETHODCALLTYPE CabineControl::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::OnDocWindowActivate(BOOL) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::EnableModeless(BOOL) {
    return S_OK;
}

// IOleControl

HRESULT STDMETHODCALLTYPE CabineControl::GetControlInfo(CONTROLINFO* info) {
    if (info == nullptr) return E_POINTER;
    info->hAccel = nullptr;  // no mnemonics
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::OnMnemonic(MSG*) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE CabineControl::FreezeEvents(BOOL) {
    return S_OK;  // a frozen container drops the events itself
}

// IOleObject

HRESULT STDMETHODCALLTYPE CabineControl::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>(site);
    HWND owner = nullptr;
    ComPtr<IOleWindow> w;
    if (site_ && SUCCEEDED(site_.As(w))) w->GetWindow(&owner);
    window_.SetFallbackOwner(owner);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) return E_POINTER;
    site_.CopyTo(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::Close(DWORD save) {
    return Guarded([&] {
        DeactivateInPlace();
        if (dirty_ && site_ && save != OLECLOSE_NOSAVE) site_->SaveObject();
        if (ole_advise_) ole_advise_->SendOnClose();
    });
}

HRESULT STDMETHODCALLTYPE CabineControl::SetMoniker(DWORD, IMoniker*) {
    return S_OK;  // nothing to link
}

HRESULT STDMETHODCALLTYPE CabineControl::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) {
    if (moniker == nullptr) return E_POINTER;
    *moniker = nullptr;
    if (!site_) return E_UNEXPECTED;
    return site_->GetMoniker(assign, which, moniker);
}

HRESULT STDMETHODCALLTYPE CabineControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data == nullptr) return E_POINTER;
    *data = nullptr;
    return E_NOTIMPL;  // no snapshot of calls ever leaves the control
}

HRESULT STDMETHODCALLTYPE CabineControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                                LPCRECT) {
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

HRESULT STDMETHODCALLTYPE CabineControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return OleRegEnumVerbs(CLSID_TellarixCabine, verbs);
}

HRESULT STDMETHODCALLTYPE CabineControl::Update() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::IsUpToDate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}

HRESULT STDMETHODCALLTYPE CabineControl::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(CLSID_TellarixCabine, form, type);
}

HRESULT STDMETHODCALLTYPE CabineControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (size->cx != extent_.cx || size->cy != extent_.cy) dirty_ = true;
    extent_ = *size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!ole_advise_) {
        if (HRESULT hr = CreateOleAdviseHolder(ole_advise_.Put()); FAILED(hr)) return hr;
    }
    return ole_advise_->Advise(sink, cookie);
}

HRESULT STDMETHODCALLTYPE CabineControl::Unadvise(DWORD cookie) {
    if (!ole_advise_) return OLE_E_NOCONNECTION;
    return ole_advise_->Unadvise(cookie);
}

HRESULT STDMETHODCALLTYPE CabineControl::EnumAdvise(IEnumSTATDATA** e) {
    if (e == nullptr) return E_POINTER;
    *e = nullptr;
    if (!ole_advise_) return E_FAIL;
    return ole_advise_->EnumAdvise(e);
}

HRESULT STDMETHODCALLTYPE CabineControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::SetColorScheme(LOGPALETTE*) {
    return S_OK;
}

// IQuickActivate: the site, the event sink and the view sink in one call.

HRESULT STDMETHODCALLTYPE CabineControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (container == nullptr || control == nullptr) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwEventCookie = 0;
    if (container->pUnkEventSink)
        events_.Point()->Advise(container->pUnkEventSink, &control->dwEventCookie);
    control->dwMiscStatus = kMiscStatus;
    control->dwViewStatus = kViewStatus;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::SetContentExtent(LPSIZEL size) {
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT STDMETHODCALLTYPE CabineControl::GetContentExtent(LPSIZEL size) {
    return GetExtent(DVASPECT_CONTENT, size);
}

// Activation

HRESULT CabineControl::Activate(bool ui) {
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

void CabineControl::DeactivateUi() {
    if (!ui_active_) return;
    ui_active_ = false;
    if (doc_) doc_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    ComPtr<IOleInPlaceSite> site;
    if (site_ && SUCCEEDED(site_.As(site))) site->OnUIDeactivate(FALSE);
}

void CabineControl::DeactivateInPlace() {
    if (!in_place_) return;
    DeactivateUi();
    in_place_ = false;
    window_.Destroy();
    frame_.Reset();
    doc_.Reset();
    ComPtr<IOleInPlaceSite> site;
    if (site_ && SUCCEEDED(site_.As(site))) site->OnInPlaceDeactivate();
}

}  // namespace tlx::boothctl
