#include "win32/subclass.h"

#include <utility>

namespace tlx::win32 {

struct Subclass::State {
    HWND window = nullptr;  // null once removed
    Handler handler;
};

Subclass::Subclass(HWND window, Handler handler)
    : state_(std::make_unique<State>(State{nullptr, std::move(handler)})) {
    // The state's address is both the subclass's id and its data: unique while it lives.
    const auto id = reinterpret_cast<UINT_PTR>(state_.get());
    if (window != nullptr && state_->handler &&
        SetWindowSubclass(window, &Procedure, id, reinterpret_cast<DWORD_PTR>(state_.get())))
        state_->window = window;
}

Subclass::Subclass() noexcept = default;
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
    if (state_->window != nullptr && IsWindow(state_->window))
        RemoveWindowSubclass(state_->window, &Procedure, reinterpret_cast<UINT_PTR>(state_.get()));
    state_.reset();
}

bool Subclass::installed() const {
    return state_ && state_->window != nullptr;
}

HWND Subclass::window() const {
    return state_ ? state_->window : nullptr;
}

LRESULT CALLBACK Subclass::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data) {
    auto* state = reinterpret_cast<State*>(data);
    if (msg == WM_NCDESTROY) {
        // The window's last message: the subclass goes with it, the handler still sees it.
        RemoveWindowSubclass(hwnd, &Procedure, id);
        state->window = nullptr;
    }
    try {
        return state->handler(hwnd, msg, wp, lp);
    } catch (...) {
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
}

}  // namespace tlx::win32
