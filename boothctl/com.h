// Small COM helpers of the booth control library: the module's reference count, an owning
// interface pointer, an owning BSTR and table-driven QueryInterface.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <cstddef>
#include <utility>

namespace tlx::boothctl {

// Every live object and every server lock holds one count; DllCanUnloadNow asks for zero.
void ModuleAddRef();
void ModuleRelease();
long ModuleCount();
HINSTANCE ModuleInstance();

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) {  // adds a reference
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: releases what is held first.
    T** Put() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out.Put()));
    }

  private:
    T* p_ = nullptr;
};

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(BSTR owned) : b_(owned) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR Get() const { return b_; }
    BSTR Detach() { return std::exchange(b_, nullptr); }

  private:
    BSTR b_ = nullptr;
};

// One row of an object's interface table: the IID and the offset of that interface's vtable
// pointer inside the object.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

// Answers from the table in its order; the first row also answers IUnknown.
HRESULT QueryFromTable(void* object, const InterfaceEntry* table, REFIID riid, void** out);

template <class Interface, class Object>
std::ptrdiff_t OffsetOf() {
    // Any non-null address works; the cast applies the base class adjustment.
    auto* fake = reinterpret_cast<Object*>(std::ptrdiff_t{0x1000});
    return reinterpret_cast<char*>(static_cast<Interface*>(fake)) - reinterpret_cast<char*>(fake);
}

}  // namespace tlx::boothctl
