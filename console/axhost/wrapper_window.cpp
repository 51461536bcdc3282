#include "console/axhost/wrapper_window.h"

#include "console/axhost/control_site.h"
#include "win32/module.h"

namespace tlx::console {

namespace {

constexpr wchar_t kWrapperClass[] = L"TellarixControlHost";

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

}  // namespace

HWND CreateWrapperWindow(HWND parent, const RECT& rect, int id, bool visible, ControlSite* site) {
    const HINSTANCE module = tlx::win32::ThisModule();
    if (!RegisterWrapperClass(module)) return nullptr;
    const DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, kWrapperClass, L"", style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, site);
}

void DestroyWrapperWindow(HWND wrapper) noexcept {
    if (!wrapper || !IsWindow(wrapper)) return;
    SetWindowLongPtrW(wrapper, GWLP_USERDATA, 0);
    DestroyWindow(wrapper);
}

}  // namespace tlx::console
