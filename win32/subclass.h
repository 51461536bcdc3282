// One subclassing of a window (comctl32's SetWindowSubclass), owned: the handler sees the
// window's messages before its own procedure, and the subclass goes when this object goes or
// the window does, whichever comes first. A handler passes on what it leaves with Next; an
// exception from it gets the window's own answer. UI thread (the window's) only; not to be
// destroyed from inside its own handler.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <memory>

namespace tlx::win32 {

class Subclass {
  public:
    using Handler = std::function<LRESULT(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)>;

    Subclass() noexcept;
    // Installs handler on window; installed() tells whether Windows took it.
    Subclass(HWND window, Handler handler);
    // A member of object as the handler.
    template <class T>
    Subclass(HWND window, T* object, LRESULT (T::*member)(HWND, UINT, WPARAM, LPARAM))
        : Subclass(window, [object, member](HWND h, UINT m, WPARAM w, LPARAM l) {
              return (object->*member)(h, m, w, l);
          }) {}
    Subclass(Subclass&&) noexcept;
    Subclass& operator=(Subclass&&) noexcept;
    ~Subclass();

    // Removes the subclass now (nothing when none or the window is gone).
    void Reset() noexcept;
    bool installed() const;
    HWND window() const;

    // The window's own answer (and any earlier subclass's) to a message.
    static LRESULT Next(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        return DefSubclassProc(hwnd, msg, wp, lp);
    }

  private:
    struct State;
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR state);
    std::unique_ptr<State> state_;
};

}  // namespace tlx::win32
