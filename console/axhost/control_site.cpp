#include "console/axhost/control_site.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "console/axhost/event_sink.h"
#include "console/axhost/factory_cache.h"
#include "console/axhost/key_claim.h"
#include "console/axhost/site_object.h"
#include "console/axhost/wrapper_window.h"

namespace tlx::console {

namespace {

// The sites of this (the user-interface) thread, for the keyboard messages to find theirs.
std::vector<ControlSite*>& LiveSites() {
    static std::vector<ControlSite*> sites;
    return sites;
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
    LiveSites().push_back(this);
    wrapper_ = CreateWrapperWindow(parent, rect, id, options.visible, this);
    if (!wrapper_) return HRESULT_FROM_WIN32(GetLastError());
    wantAllKeys_ = options.wantAllKeys;

    site_ = ComPtr<SiteObject>::Adopt(new SiteObject(wrapper_, options.ambient));

    HRESULT hr = CreateFromCachedFactory(clsid, object_);
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
    SIZEL extent = HimetricExtent(client.right, client.bottom);
    object_->SetExtent(DVASPECT_CONTENT, &extent);

    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, wrapper_, &client);
    if (FAILED(hr)) return hr;

    object_->QueryInterface(IID_IOleInPlaceActiveObject, activeObject_.PutVoid());
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
    activeObject_.Reset();
    controlWindow_ = nullptr;
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    if (site_) site_->Detach();
    site_.Reset();
    if (clsid_) ReleaseCachedFactory(*clsid_);
    clsid_.reset();
    DestroyWrapperWindow(wrapper_);
    wrapper_ = nullptr;
    auto& sites = LiveSites();
    sites.erase(std::remove(sites.begin(), sites.end(), this), sites.end());
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

bool ControlSite::TranslateAccelerator(MSG* msg) noexcept {
    if (!site_ || !msg) return false;
    // The object the control named when it became UI active, else the control itself: a
    // browser that has the focus but never named one still wants its keys.
    IOleInPlaceActiveObject* active = site_->Active();
    if (!active) active = activeObject_.Get();
    return active && active->TranslateAccelerator(msg) == S_OK;
}

bool ControlSite::TranslateKey(MSG* msg) noexcept {
    if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    // Up the chain of child windows only: a window owned by a control's window is not in it.
    for (HWND w = msg->hwnd; w;
         w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr) {
        for (ControlSite* site : LiveSites())
            if (site->wrapper_ == w) return site->TranslateAccelerator(msg);
    }
    return false;
}

}  // namespace tlx::console
