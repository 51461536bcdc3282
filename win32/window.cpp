#include "win32/window.h"

#include <memory>

#include "win32/module.h"

namespace tlx::win32 {
namespace {

// Class names and titles here are ASCII: widened as they are, without a heap.
struct Widened {
    explicit Widened(const char* ascii) {
        for (int i = 0; ascii[i] != '\0' && i < 255; ++i) text[i] = static_cast<wchar_t>(ascii[i]);
    }
    wchar_t text[256] = {};
};

}  // namespace

Wnd::~Wnd() {
    if (hwnd_ == nullptr) return;
    // The derived part is gone: the window's last messages go to DefWindowProc.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

bool Wnd::Create(const WindowClass& cls, const CreateArgs& args) {
    if (hwnd_ != nullptr) return true;
    if (!RegisterOnce(cls, &OwnerProc)) return false;
    Make(cls, args, this);
    return hwnd_ != nullptr;
}

void Wnd::Destroy() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool Wnd::RegisterOnce(const WindowClass& cls, WNDPROC proc) {
    const HINSTANCE module = ThisModule();
    const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    const HBRUSH background =
        cls.background < 0 ? nullptr : reinterpret_cast<HBRUSH>(INT_PTR{cls.background} + 1);
    if (!cls.wide) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        if (GetClassInfoExA(module, cls.name, &wc)) return true;
        wc.style = cls.style;
        wc.lpfnWndProc = proc;
        wc.hInstance = module;
        wc.hCursor = arrow;
        wc.hbrBackground = background;
        wc.lpszClassName = cls.name;
        return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    const Widened name(cls.name);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(module, name.text, &wc)) return true;
    wc.style = cls.style;
    wc.lpfnWndProc = proc;
    wc.hInstance = module;
    wc.hCursor = arrow;
    wc.hbrBackground = background;
    wc.lpszClassName = name.text;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Wnd::Make(const WindowClass& cls, const CreateArgs& args, void* param) {
    const RECT& r = args.rect;
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id));
    if (!cls.wide)
        return CreateWindowExA(args.ex_style, cls.name, args.title, args.style, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, args.parent, menu, ThisModule(),
                               param);
    return CreateWindowExW(args.ex_style, Widened(cls.name).text, Widened(args.title).text,
                           args.style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           args.parent, menu, ThisModule(), param);
}

bool Wnd::IsOfClassProc(HWND hwnd, WNDPROC proc) {
    // Asked in both character sets: the other one answers with a thunk, not the procedure.
    auto is = [proc](ULONG_PTR p) { return reinterpret_cast<WNDPROC>(p) == proc; };
    return hwnd != nullptr &&
           (is(GetClassLongPtrA(hwnd, GCLP_WNDPROC)) || is(GetClassLongPtrW(hwnd, GCLP_WNDPROC)));
}

Wnd* Wnd::FromHwnd(HWND hwnd) {
    return reinterpret_cast<Wnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK Wnd::OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return Route(hwnd, msg, wp, lp, nullptr);
}

LRESULT Wnd::Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, Factory make) {
    Wnd* self = FromHwnd(hwnd);
    if (msg == WM_NCCREATE && self == nullptr) {
        // The one place a window meets its object.
        if (make != nullptr) {
            try {
                self = make();
            } catch (...) {
                return FALSE;  // out of memory: no window
            }
            self->owned_by_window_ = true;
        } else {
            self = static_cast<Wnd*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        }
        if (self != nullptr) {
            self->hwnd_ = hwnd;
            self->wide_ = IsWindowUnicode(hwnd) != FALSE;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (self == nullptr)
        return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wp, lp)
                                     : DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
        result = self->OnMessage(msg, wp, lp);
    } catch (...) {
        // Out of memory while building texts, say: the operator keeps a working window.
        result = self->Default(msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        if (self->owned_by_window_) delete self;
    }
    return result;
}

LRESULT Wnd::Default(UINT msg, WPARAM wp, LPARAM lp) const {
    return wide_ ? DefWindowProcW(hwnd_, msg, wp, lp) : DefWindowProcA(hwnd_, msg, wp, lp);
}

LRESULT Wnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(hwnd_, &ps);
            struct End {
                HWND hwnd;
                PAINTSTRUCT* ps;
                ~End() { EndPaint(hwnd, ps); }
            } end{hwnd_, &ps};
            OnPaint(dc, ps);
            return 0;
        }
        case WM_SIZE:
            OnSize(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_TIMER:
            if (lp != 0) break;  // a timer with a procedure of its own: DefWindowProc calls it
            OnTimer(wp);
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lp));
        default:
            break;
    }
    return Default(msg, wp, lp);
}

}  // namespace tlx::win32
