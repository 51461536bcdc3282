// Owners of system handles: each closes what it holds exactly once, and can be moved but not
// copied.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <utility>

namespace tlx::win32 {

// Invalid is the value the handle's kind uses for "none" besides null (-1 for files), as a
// number: a pointer made from one is no valid template argument.
template <class Handle, auto Close, INT_PTR Invalid = 0>
class Unique {
  public:
    Unique() = default;
    explicit Unique(Handle h) : h_(h) {}
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, None())) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.h_, None()));
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    Handle Get() const { return h_; }
    explicit operator bool() const { return h_ != None() && h_ != Handle{}; }
    Handle Release() { return std::exchange(h_, None()); }
    void Reset(Handle h = None()) {
        const Handle old = std::exchange(h_, h);
        if (old != None() && old != Handle{}) Close(old);
    }

  private:
    static Handle None() { return reinterpret_cast<Handle>(Invalid); }
    Handle h_ = None();
};

namespace detail {
inline void CloseKernel(HANDLE h) {
    CloseHandle(h);
}
inline void DeleteGdi(HGDIOBJ h) {
    DeleteObject(h);
}
inline void DeleteMemoryDc(HDC dc) {
    DeleteDC(dc);
}
inline void CloseKey(HKEY k) {
    RegCloseKey(k);
}
inline void DestroyImages(HIMAGELIST l) {
    ImageList_Destroy(l);
}
inline void FreeGlobal(HGLOBAL g) {
    GlobalFree(g);
}
inline void DeleteMetafile(HMETAFILE m) {
    DeleteMetaFile(m);
}
}  // namespace detail

using UniqueHandle = Unique<HANDLE, detail::CloseKernel>;
using UniqueFile = Unique<HANDLE, detail::CloseKernel, -1>;
using UniqueKey = Unique<HKEY, detail::CloseKey>;
using UniqueImageList = Unique<HIMAGELIST, detail::DestroyImages>;
using UniqueGlobal = Unique<HGLOBAL, detail::FreeGlobal>;
using UniqueMetafile = Unique<HMETAFILE, detail::DeleteMetafile>;
using MemoryDc = Unique<HDC, detail::DeleteMemoryDc>;
template <class T>
using GdiObject = Unique<T, detail::DeleteGdi>;

// A window's (or the screen's, for null) device context, given back on scope exit.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the old one back on scope exit.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_) SelectObject(dc_, old_);
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace tlx::win32
