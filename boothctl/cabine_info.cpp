// What the booth control tells about itself: its one event source, its class's type
// information, which interface could carry error information, and that it has no property
// pages.
#include "boothctl/cabine.h"

namespace tlx::boothctl {

// ISupportErrorInfo: no method ever sets error information, but ICabine is the interface that
// could.
HRESULT STDMETHODCALLTYPE CabineControl::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_ICabine ? S_OK : S_FALSE;
}

// IConnectionPointContainer: one point, for _ICabineEvents.

HRESULT STDMETHODCALLTYPE CabineControl::EnumConnectionPoints(IEnumConnectionPoints** e) {
    return events_.EnumPoints(e);
}

HRESULT STDMETHODCALLTYPE CabineControl::FindConnectionPoint(REFIID riid,
                                                             IConnectionPoint** point) {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (riid != DIID__ICabineEvents) return CONNECT_E_NOCONNECTION;
    *point = events_.Point();
    (*point)->AddRef();
    return S_OK;
}

// ISpecifyPropertyPages: none.
HRESULT STDMETHODCALLTYPE CabineControl::GetPages(CAUUID* pages) {
    if (pages == nullptr) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

// IProvideClassInfo / IProvideClassInfo2: the container finds the event interface here.

HRESULT STDMETHODCALLTYPE CabineControl::GetClassInfo(ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    win32::ComPtr<ITypeInfo> ti;
    if (HRESULT hr = LoadTypeInfo(CLSID_TellarixCabine, ti); FAILED(hr)) return hr;
    *info = ti.Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID__ICabineEvents;
    return S_OK;
}

}  // namespace tlx::boothctl
