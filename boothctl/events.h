// The control's one connection point, for _ICabineEvents, and the firing of onPrintClick.
#pragma once

#include <ocidl.h>

#include <string>
#include <vector>

#include "win32/com_ptr.h"

namespace tlx::boothctl {

class EventPoint final : public IConnectionPoint {
  public:
    // `owner` is the control's controlling unknown; the point lives and dies with it.
    explicit EventPoint(IUnknown* owner) : owner_(owner) {}
    EventPoint(const EventPoint&) = delete;
    EventPoint& operator=(const EventPoint&) = delete;

    IConnectionPoint* Point() { return this; }
    HRESULT EnumPoints(IEnumConnectionPoints** out);
    // Every sink advised now gets its own copy of the booth print text.
    void FirePrintClick(const std::string& text);

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  private:
    struct Sink {
        DWORD cookie;
        win32::ComPtr<IDispatch> dispatch;
    };
    IUnknown* owner_;
    std::vector<Sink> sinks_;
    DWORD next_cookie_ = 1;
};

}  // namespace tlx::boothctl
