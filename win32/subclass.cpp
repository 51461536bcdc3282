#include "win32/subclass.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace tlx::win32 {

// Plain window-procedure subclassing, in the window's own character set. Not comctl32's
// SetWindowSubclass: that looks its data up in a window property on every message, a trip to the
// window server each time under Wine (a booth flood ran ten times slower with it).
struct Subclass::State {
    HWND window = nullptr;  // null once the window has gone
    bool wide = false;
    WNDPROC previous = nullptr;
    Handler handler;  // empty once the owner let go while someone else subclassed on top
};

namespace {

// The windows this module subclasses, one subclass each; booths may live on several threads.
std::mutex g_mutex;
std::unordered_map<HWND, std::shared_ptr<Subclass::State>> g_windows;

std::shared_ptr<Subclass::State> Find(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_windows.find(hwnd);
    return it == g_windows.end() ? nullptr : it->second;
}

// The subclass whose handler runs on this thread, for Next.
struct Running {
    Subclass::State* state;
    HWND hwnd;
};
thread_local Running t_running{nullptr, nullptr};

LRESULT CallPrevious(const Subclass::State& s, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return s.wide ? CallWindowProcW(s.previous, hwnd, msg, wp, lp)
                  : CallWindowProcA(s.previous, hwnd, msg, wp, lp);
}

LONG_PTR CurrentProc(const Subclass::State& s) {
    return s.wide ? GetWindowLongPtrW(s.window, GWLP_WNDPROC)
                  : GetWindowLongPtrA(s.window, GWLP_WNDPROC);
}

}  // namespace

Subclass::Subclass() noexcept = default;

Subclass::Subclass(HWND window, Handler handler) {
    if (window == nullptr || !handler) return;
    auto state = std::make_shared<State>();
    state->window = window;
    state->wide = IsWindowUnicode(window) != FALSE;
    state->handler = std::move(handler);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_windows.emplace(window, state).second) return;  // one subclass per window
    }
    const auto proc = reinterpret_cast<LONG_PTR>(&Procedure);
    state->previous =
        reinterpret_cast<WNDPROC>(state->wide ? SetWindowLongPtrW(window, GWLP_WNDPROC, proc)
                                              : SetWindowLongPtrA(window, GWLP_WNDPROC, proc));
    if (state->previous == nullptr) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows.erase(window);
        return;
    }
    state_ = std::move(state);
}

Subclass::Subclass(Subclass&&) noexcept = default;

Subclass& Subclass::operator=(Subclass&& other) noexcept {
    if (this != &other) {
        Reset();
        state_ = std::move(other.state_);
    }
    return *this;
}

Subclass::~Subclass() {
    Reset();
}

void Subclass::Reset() noexcept {
    if (!state_) return;
    const std::shared_ptr<State> s = std::move(state_);
    if (s->window == nullptr) return;
    // Only the procedure on top can be taken out; under someone else's, it passes everything on
    // until the window goes.
    if (IsWindow(s->window) && CurrentProc(*s) == reinterpret_cast<LONG_PTR>(&Procedure)) {
        if (s->wide)
            SetWindowLongPtrW(s->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
        else
            SetWindowLongPtrA(s->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows.erase(s->window);
        s->window = nullptr;
    } else {
        s->handler = nullptr;
    }
}

bool Subclass::installed() const {
    return state_ && state_->window != nullptr;
}

HWND Subclass::window() const {
    return state_ ? state_->window : nullptr;
}

LRESULT Subclass::Next(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (t_running.state != nullptr && t_running.hwnd == hwnd)
        return CallPrevious(*t_running.state, hwnd, msg, wp, lp);
    if (const auto s = Find(hwnd)) return CallPrevious(*s, hwnd, msg, wp, lp);
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wp, lp)
                                 : DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Subclass::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const std::shared_ptr<State> s = Find(hwnd);
    if (!s) return Next(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The window's last message: the subclass goes with it, the handler still sees it.
        if (CurrentProc(*s) == reinterpret_cast<LONG_PTR>(&Procedure)) {
            if (s->wide)
                SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
            else
                SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
        }
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows.erase(hwnd);
        s->window = nullptr;
    }
    if (!s->handler) return CallPrevious(*s, hwnd, msg, wp, lp);
    const Running outer = std::exchange(t_running, Running{s.get(), hwnd});
    LRESULT result = 0;
    try {
        result = s->handler(hwnd, msg, wp, lp);
    } catch (...) {
        result = CallPrevious(*s, hwnd, msg, wp, lp);
    }
    t_running = outer;
    return result;
}

}  // namespace tlx::win32
