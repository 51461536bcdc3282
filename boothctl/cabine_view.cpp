// The booth's picture for its container: IViewObjectEx and IDataObject (a metafile).
#include <shlobj.h>

#include "boothctl/cabine.h"
#include "core/booth/size.h"
#include "win32/handles.h"

namespace tlx::boothctl {
namespace {

using booth::kBoothHeight;
using booth::kBoothWidth;

constexpr LONG kHimetricPerInch = 2540;

// Where the container asks for a picture while the control has no window: a plain frame with
// the control's name.
void DrawPlaceholder(HDC dc, const RECT& r) {
    const win32::GdiObject<HBRUSH> back(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    FillRect(dc, &r, back.Get());
    {
        const win32::Selection pen(dc, GetStockObject(BLACK_PEN));
        const win32::Selection brush(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    RECT text = r;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, "TellarixCabine", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

bool Stretch(HDC dc, const RECT& r, HDC from, const RECT& client) {
    SetStretchBltMode(dc, COLORONCOLOR);
    return StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, from, 0, 0,
                      client.right, client.bottom, SRCCOPY) != FALSE;
}

// The live window, drawn into any device context (printer, metafile, screen) at `r`: what the
// screen shows of it while it is visible, else what it paints when asked to print itself.
bool DrawWindowPicture(HWND window, HDC dc, const RECT& r) {
    RECT client;
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0) return false;
    const win32::WindowDc source(window);
    if (!source) return false;
    if (IsWindowVisible(window)) return Stretch(dc, r, source.Get(), client);
    const win32::MemoryDc mem(CreateCompatibleDC(source.Get()));
    const win32::GdiObject<HBITMAP> bmp(
        CreateCompatibleBitmap(source.Get(), client.right, client.bottom));
    if (!mem || !bmp) return Stretch(dc, r, source.Get(), client);
    const win32::Selection selected(mem.Get(), bmp.Get());
    SendMessageA(window, WM_PRINT, reinterpret_cast<WPARAM>(mem.Get()),
                 PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | PRF_NONCLIENT);
    return Stretch(dc, r, mem.Get(), client);
}

}  // namespace

SIZEL DefaultExtent() {
    const win32::WindowDc screen(nullptr);
    const int dpx = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    const int dpy = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return {MulDiv(kBoothWidth, kHimetricPerInch, dpx > 0 ? dpx : 96),
            MulDiv(kBoothHeight, kHimetricPerInch, dpy > 0 ? dpy : 96)};
}

// IViewObject / IViewObject2 / IViewObjectEx

HRESULT STDMETHODCALLTYPE CabineControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                              HDC dc, LPCRECTL bounds, LPCRECTL,
                                              BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
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

HRESULT STDMETHODCALLTYPE CabineControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                     LOGPALETTE** colours) {
    if (colours == nullptr) return E_POINTER;
    *colours = nullptr;
    return S_FALSE;  // any palette will do
}

HRESULT STDMETHODCALLTYPE CabineControl::Freeze(DWORD aspect, LONG, void*, DWORD* cookie) {
    if (cookie == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *cookie = ++freeze_count_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::Unfreeze(DWORD) {
    if (freeze_count_ == 0) return OLE_E_NOCONNECTION;
    --freeze_count_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    view_sink_ = win32::ComPtr<IAdviseSink>(sink);
    view_aspects_ = aspects;
    view_flags_ = flags;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetAdvise(DWORD* aspects, DWORD* flags,
                                                   IAdviseSink** sink) {
    if (aspects) *aspects = view_aspects_;
    if (flags) *flags = view_flags_;
    if (sink) view_sink_.CopyTo(sink);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*,
                                                   LPSIZEL size) {
    return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE CabineControl::GetRect(DWORD aspect, LPRECTL rect) {
    if (rect == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *rect = {0, 0, extent_.cx, extent_.cy};
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetViewStatus(DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = kViewStatus;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT pt, LONG,
                                                       DWORD* result) {
    if (bounds == nullptr || result == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *result = PtInRect(bounds, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT loc,
                                                      LONG, DWORD* result) {
    if (bounds == nullptr || loc == nullptr || result == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    RECT both;
    *result = IntersectRect(&both, bounds, loc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC,
                                                          DVEXTENTINFO* info, LPSIZEL size) {
    if (info == nullptr || size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    // The layout is fixed: its natural size is the one it was drawn for.
    *size = DefaultExtent();
    return S_OK;
}

// IDataObject: a metafile picture of the control, as containers paste it.

HRESULT STDMETHODCALLTYPE CabineControl::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (format == nullptr || medium == nullptr) return E_POINTER;
    if (HRESULT hr = QueryGetData(format); hr != S_OK) return hr;
    return GuardedResult([&] { return RenderMetafile(medium); });
}

HRESULT STDMETHODCALLTYPE CabineControl::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return DV_E_TYMED;  // a metafile picture is always handed over fresh
}

HRESULT STDMETHODCALLTYPE CabineControl::QueryGetData(FORMATETC* format) {
    if (format == nullptr) return E_POINTER;
    if (format->cfFormat != CF_METAFILEPICT) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_MFPICT)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CabineControl::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    if (in == nullptr || out == nullptr) return E_POINTER;
    *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE CabineControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;  // nothing can be pasted into a booth
}

HRESULT STDMETHODCALLTYPE CabineControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** e) {
    if (e == nullptr) return E_POINTER;
    *e = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC f{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    return SHCreateStdEnumFmtEtc(1, &f, e);
}

HRESULT STDMETHODCALLTYPE CabineControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                                 DWORD* cookie) {
    if (!data_advise_) {
        if (HRESULT hr = CreateDataAdviseHolder(data_advise_.Put()); FAILED(hr)) return hr;
    }
    return data_advise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, cookie);
}

HRESULT STDMETHODCALLTYPE CabineControl::DUnadvise(DWORD cookie) {
    if (!data_advise_) return OLE_E_NOCONNECTION;
    return data_advise_->Unadvise(cookie);
}

HRESULT STDMETHODCALLTYPE CabineControl::EnumDAdvise(IEnumSTATDATA** e) {
    if (e == nullptr) return E_POINTER;
    *e = nullptr;
    if (!data_advise_) return OLE_E_ADVISENOTSUPPORTED;
    return data_advise_->EnumAdvise(e);
}

HRESULT CabineControl::RenderMetafile(STGMEDIUM* medium) {
    HDC dc = CreateMetaFileW(nullptr);
    if (dc == nullptr) return E_OUTOFMEMORY;
    // Drawn in pixels of the fixed layout, stretched to the extent by the receiver.
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, kBoothWidth, kBoothHeight, nullptr);
    const RECTL bounds{0, 0, kBoothWidth, kBoothHeight};
    Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    win32::UniqueMetafile picture(CloseMetaFile(dc));
    if (!picture) return E_OUTOFMEMORY;
    win32::UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT)));
    auto* pict = memory ? static_cast<METAFILEPICT*>(GlobalLock(memory.Get())) : nullptr;
    if (pict == nullptr) return E_OUTOFMEMORY;
    *pict = {MM_ANISOTROPIC, extent_.cx, extent_.cy, picture.Release()};
    GlobalUnlock(memory.Get());
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = memory.Release();
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

}  // namespace tlx::boothctl
