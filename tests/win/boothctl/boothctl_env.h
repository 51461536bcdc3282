// Shared helpers of the booth control tests: the library next to the test program, COM set up
// on the test thread, and message pumping.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <string>

#include "Tellarix_h.h"

namespace tlx::test {

std::wstring LibraryPath();
HMODULE Library();                     // loaded once, kept for the whole run
HRESULT CallExport(const char* name);  // DllRegisterServer and friends
// Processes what is queued for this thread, for about `ms` milliseconds.
void Pump(DWORD ms = 50);

template <class T>
class Ref {
  public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};

}  // namespace tlx::test
