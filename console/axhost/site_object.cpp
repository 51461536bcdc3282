#include "console/axhost/site_object.h"

#include "win32/handles.h"

namespace tlx::console {

namespace {

// Pixels per logical inch of the screen, for HIMETRIC conversions.
SIZE ScreenDpi() {
    SIZE dpi{96, 96};
    if (tlx::win32::WindowDc screen(nullptr); screen) {
        dpi.cx = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpi.cy = GetDeviceCaps(screen.Get(), LOGPIXELSY);
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

}  // namespace

SIZEL HimetricExtent(LONG width, LONG height) {
    const SIZE dpi = ScreenDpi();
    return SIZEL{PixelsToHimetric(width, dpi.cx), PixelsToHimetric(height, dpi.cy)};
}

void* SiteObject::Find(REFIID iid) noexcept {
    if (iid == IID_IOleClientSite) return static_cast<IOleClientSite*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx)
        return static_cast<IOleInPlaceSiteEx*>(this);
    if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        return static_cast<IOleInPlaceFrame*>(this);
    if (iid == IID_IOleControlSite) return static_cast<IOleControlSite*>(this);
    if (iid == IID_IDispatch) return static_cast<IDispatch*>(this);
    return nullptr;
}

HRESULT SiteObject::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = wrapper_;
    return wrapper_ ? S_OK : E_FAIL;
}

HRESULT SiteObject::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                     LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
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

HRESULT SiteObject::DeactivateAndUndo() {
    if (inPlace_) inPlace_->UIDeactivate();
    return S_OK;
}

HRESULT SiteObject::OnPosRectChange(LPCRECT rect) {
    if (!rect) return E_POINTER;
    // The control asked for another size; it gets it, clipped to nothing else.
    if (inPlace_) return inPlace_->SetObjectRects(rect, rect);
    return S_OK;
}

HRESULT SiteObject::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
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

HRESULT SiteObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                           EXCEPINFO*, UINT*) {
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
            result->lVal = static_cast<LONG>(id == DISPID_AMBIENT_BACKCOLOR ? ambient_.backColor
                                                                            : ambient_.foreColor);
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

HRESULT SiteObject::AmbientFont(VARIANT* result) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(ambient_.fontName.c_str());
    desc.cySize.int64 = static_cast<LONGLONG>(ambient_.fontPoints) * 10000;
    desc.sWeight = FW_NORMAL;
    desc.sCharset = DEFAULT_CHARSET;
    ComPtr<IFontDisp> font;
    const HRESULT hr = OleCreateFontIndirect(&desc, IID_IFontDisp, font.PutVoid());
    if (FAILED(hr)) return hr;
    result->vt = VT_DISPATCH;
    result->pdispVal = font.Detach();
    return S_OK;
}

}  // namespace tlx::console
