// The IUnknown of a COM object made with new, and the IDispatch of one whose callers already
// know the DISPIDs.
#pragma once

// clang-format off
#include <windows.h>
#include <oaidl.h>
// clang-format on

#include <atomic>
#include <tuple>

namespace tlx::win32 {

// Reference count and QueryInterface for an object implementing Interfaces. It starts with one
// reference, which its creator adopts (ComPtr<T>::Adopt), and deletes itself when the last one
// goes. The object names the interfaces it answers for in Find; its first base answers IUnknown.
template <class... Interfaces>
class ComObject : public Interfaces... {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown ? static_cast<IUnknown*>(static_cast<First*>(this)) : Find(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    // This object as the interface iid names (cast to it), or null.
    virtual void* Find(REFIID iid) noexcept = 0;

  private:
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    std::atomic<ULONG> refs_{1};
};

// IDispatch without type information or names: for ambient properties and event sinks, whose
// callers invoke by DISPID. The object implements Invoke.
class TypelessDispatch : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
};

}  // namespace tlx::win32
