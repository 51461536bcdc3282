// A counted COM reference that releases itself. One contract everywhere: construction from a
// raw pointer adds a reference (the caller keeps its own); Adopt takes over a reference the
// caller already owns; Put hands out the slot for an out parameter.
#pragma once

// clang-format off
#include <windows.h>
#include <unknwn.h>
// clang-format on

#include <cstddef>
#include <utility>

namespace tlx::win32 {

template <class T>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    static ComPtr Adopt(T* p) noexcept {
        ComPtr r;
        r.p_ = p;
        return r;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Releases what is held and gives the slot for an out parameter.
    T** Put() noexcept {
        Reset();
        return &p_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // Hands the reference over to the caller.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    // A new reference for an out parameter; null stays null.
    template <class U>
    void CopyTo(U** out) const noexcept {
        if (p_) p_->AddRef();
        *out = p_;
    }

    void Reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    template <class U>
    HRESULT As(ComPtr<U>& out, REFIID iid = __uuidof(U)) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.PutVoid());
    }

  private:
    T* p_ = nullptr;
};

}  // namespace tlx::win32
