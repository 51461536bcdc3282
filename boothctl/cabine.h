// The booth control object TellarixCabine: ICabine for the console, and the platform's standard
// embedding interfaces for its container. One object; its members live by theme in
// cabine.cpp (identity, IDispatch, ICabine, creation), cabine_ole.cpp (embedding and
// activation), cabine_view.cpp (pictures), cabine_persist.cpp (the saved extent) and
// cabine_info.cpp (events, class and error information, property pages).
//
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
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include "Tellarix_h.h"
#include "boothctl/booth_window.h"
#include "boothctl/com.h"
#include "boothctl/events.h"
#include "win32/com_ptr.h"

namespace tlx::boothctl {

// Creates one booth control; with `outer` set it is aggregated and `riid` must be IUnknown.
HRESULT CreateCabine(IUnknown* outer, REFIID riid, void** out);

// The fixed layout's size in HIMETRIC at the screen's resolution.
SIZEL DefaultExtent();

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
    explicit CabineControl(IUnknown* outer);
    ~CabineControl();
    IUnknown* Inner() { return &inner_; }

    // IUnknown: always the controlling unknown's.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return outer_->QueryInterface(riid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override;

    // ICabine
    STDMETHODIMP SetCabineName(BSTR* name) override;
    STDMETHODIMP CallDial(BSTR* destination, BSTR* description, BSTR* rate) override;
    STDMETHODIMP CallConnected() override;
    STDMETHODIMP CallFinished(short* duration, double* cost) override;
    STDMETHODIMP CallFinishedEx(BSTR* cost) override;
    STDMETHODIMP CallRejected() override;
    STDMETHODIMP SetCurrency(BSTR* unit) override;

    // IViewObject / IViewObject2 / IViewObjectEx
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                             LOGPALETTE** colours) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG, void*, DWORD* cookie) override;
    STDMETHODIMP Unfreeze(DWORD) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT pt, LONG,
                               DWORD* result) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT loc, LONG,
                              DWORD* result) override;
    STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO* info,
                                  LPSIZEL size) override;

    // IOleWindow / IOleInPlaceObject / IOleInPlaceObjectWindowless
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override;
    STDMETHODIMP GetDropTarget(IDropTarget** target) override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override;
    STDMETHODIMP OnDocWindowActivate(BOOL) override;
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
    STDMETHODIMP EnableModeless(BOOL) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override;
    STDMETHODIMP FreezeEvents(BOOL) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override;
    STDMETHODIMP Close(DWORD save) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override;
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override;

    // IPersist / IPersistStreamInit / IPersistStorage
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP InitNew(IStorage*) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL) override;
    STDMETHODIMP SaveCompleted(IStorage*) override;
    STDMETHODIMP HandsOffStorage() override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

    // IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** e) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP DUnadvise(DWORD cookie) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** e) override;

    // IProvideClassInfo / IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  private:
    // The nondelegating IUnknown: the object's own identity and lifetime.
    struct InnerUnknown final : IUnknown {
        explicit InnerUnknown(CabineControl* self) : self(self) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override;
        CabineControl* self;
        ULONG refs = 1;
    };

    static const InterfaceEntry kInterfaces[];
    static constexpr DWORD kViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;

    // For methods that always succeed: a failure (out of memory) is swallowed.
    template <class F>
    HRESULT Guarded(F&& f) {
        try {
            f();
        } catch (...) {
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

    HRESULT LoadTypeInfo(REFGUID guid, win32::ComPtr<ITypeInfo>& out);
    HRESULT Activate(bool ui);
    void DeactivateUi();
    void DeactivateInPlace();
    HRESULT RenderMetafile(STGMEDIUM* medium);

    InnerUnknown inner_;
    IUnknown* outer_;
    EventPoint events_;
    BoothWindow window_;
    win32::ComPtr<IOleClientSite> site_;
    win32::ComPtr<IOleInPlaceFrame> frame_;
    win32::ComPtr<IOleInPlaceUIWindow> doc_;
    win32::ComPtr<IAdviseSink> view_sink_;
    win32::ComPtr<IOleAdviseHolder> ole_advise_;
    win32::ComPtr<IDataAdviseHolder> data_advise_;
    win32::ComPtr<ITypeLib> type_library_;
    DWORD view_aspects_ = 0;
    DWORD view_flags_ = 0;
    DWORD freeze_count_ = 0;
    SIZEL extent_ = DefaultExtent();
    bool dirty_ = false;
    bool in_place_ = false;
    bool ui_active_ = false;
};

}  // namespace tlx::boothctl
