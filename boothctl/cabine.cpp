// The booth control object: identity and aggregation, late binding and ICabine, creation.
#include "boothctl/cabine.h"

#include <string>

#include "win32/module.h"
#include "win32/text.h"

namespace tlx::boothctl {

using win32::AnsiFromBstr;
using win32::ComPtr;

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

CabineControl::CabineControl(IUnknown* outer)
    : inner_(this),
      outer_(outer ? outer : &inner_),
      events_(outer_),
      window_([this](const std::string& text) { events_.FirePrintClick(text); }) {
    ModuleAddRef();
}

CabineControl::~CabineControl() {
    window_.Destroy();
    ModuleRelease();
}

HRESULT STDMETHODCALLTYPE CabineControl::InnerUnknown::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return QueryFromTable(self, kInterfaces, riid, out);
}

ULONG STDMETHODCALLTYPE CabineControl::InnerUnknown::Release() {
    const ULONG left = --refs;
    if (left == 0) delete self;
    return left;
}

// IDispatch, from the type library's description of ICabine.

HRESULT STDMETHODCALLTYPE CabineControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ComPtr<ITypeInfo> ti;
    if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
    *info = ti.Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                       LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> ti;
    if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
    return DispGetIDsOfNames(ti.Get(), names, count, ids);
}

HRESULT STDMETHODCALLTYPE CabineControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags,
                                                DISPPARAMS* params, VARIANT* result,
                                                EXCEPINFO* excep, UINT* arg_err) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> ti;
    if (HRESULT hr = LoadTypeInfo(IID_ICabine, ti); FAILED(hr)) return hr;
    return DispInvoke(static_cast<ICabine*>(this), ti.Get(), id, flags, params, result, excep,
                      arg_err);
}

HRESULT CabineControl::LoadTypeInfo(REFGUID guid, ComPtr<ITypeInfo>& out) {
    if (!type_library_) {
        const std::wstring path = win32::ThisModulePath();
        if (path.empty()) return TYPE_E_CANTLOADLIBRARY;
        if (HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, type_library_.Put()); FAILED(hr))
            return hr;
    }
    return type_library_->GetTypeInfoOfGuid(guid, out.Put());
}

// ICabine: every method succeeds; problems are shown to the operator by the window.

HRESULT STDMETHODCALLTYPE CabineControl::SetCabineName(BSTR* name) {
    return Guarded([&] { window_.SetName(AnsiFromBstr(name)); });
}

HRESULT STDMETHODCALLTYPE CabineControl::CallDial(BSTR* destination, BSTR* description,
                                                  BSTR* rate) {
    return Guarded([&] {
        window_.Dial(AnsiFromBstr(destination), AnsiFromBstr(description), AnsiFromBstr(rate));
    });
}

HRESULT STDMETHODCALLTYPE CabineControl::CallConnected() {
    return Guarded([&] { window_.Connected(); });
}

HRESULT STDMETHODCALLTYPE CabineControl::CallFinished(short* duration, double* cost) {
    return Guarded([&] { window_.Finished(duration ? *duration : 0, cost ? *cost : 0.0); });
}

HRESULT STDMETHODCALLTYPE CabineControl::CallFinishedEx(BSTR* cost) {
    return Guarded([&] { window_.FinishedWithCostText(AnsiFromBstr(cost)); });
}

HRESULT STDMETHODCALLTYPE CabineControl::CallRejected() {
    return Guarded([&] { window_.Rejected(); });
}

HRESULT STDMETHODCALLTYPE CabineControl::SetCurrency(BSTR* unit) {
    return Guarded([&] { window_.SetCurrency(AnsiFromBstr(unit)); });
}

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
