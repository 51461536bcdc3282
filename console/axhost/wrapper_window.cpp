#include "console/axhost/wrapper_window.h"

#include "console/axhost/control_site.h"
#include "win32/window.h"

namespace tlx::console {

namespace {

constexpr win32::WindowClass kWrapperClass{"TellarixControlHost", CS_DBLCLKS, COLOR_BTNFACE, true};

// The window owns this from its first message to its last; the site is read on every message.
class WrapperWindow final : public win32::Wnd {
  public:
    ControlSite* site = nullptr;

  private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_NCCREATE:
                site = static_cast<ControlSite*>(
                    reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
                break;
            case WM_GETDLGCODE:
                if (site && site->WantsAllKeys()) return DLGC_WANTALLKEYS;
                break;
            case WM_SETFOCUS:
                if (site && site->ControlWindow() && IsWindow(site->ControlWindow()))
                    SetFocus(site->ControlWindow());
                return 0;
            case WM_ERASEBKGND:
                if (site && site->ControlWindow()) return 1;  // the control paints it all
                break;
            default:
                return Wnd::OnMessage(msg, wp, lp);
        }
        return Default(msg, wp, lp);
    }
    void OnSize(int width, int height) override {
        if (!site) return;
        RECT client{0, 0, width, height};
        if (auto inPlace = site->QueryControl<IOleInPlaceObject>(IID_IOleInPlaceObject))
            inPlace->SetObjectRects(&client, &client);
    }
};

}  // namespace

HWND CreateWrapperWindow(HWND parent, const RECT& rect, int id, bool visible, ControlSite* site) {
    win32::CreateArgs args;
    args.parent = parent;
    args.rect = rect;
    args.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0);
    args.id = id;
    args.param = site;
    return win32::Wnd::CreateOwned<WrapperWindow>(kWrapperClass, args);
}

void DestroyWrapperWindow(HWND wrapper) noexcept {
    if (!wrapper || !IsWindow(wrapper)) return;
    if (auto* window = win32::Wnd::Of<WrapperWindow>(wrapper)) window->site = nullptr;
    DestroyWindow(wrapper);
}

}  // namespace tlx::console
