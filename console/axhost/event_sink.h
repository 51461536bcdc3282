// The sink advised on a hosted control's outgoing interface. Like the site it may outlive the
// ControlSite in the control's hands; Disconnect drops the handler so a late event reaches
// nothing.
#pragma once

#include <windows.h>

#include <utility>

#include "console/axhost/control_site.h"
#include "win32/com_object.h"

namespace tlx::console {

class EventSink final : public tlx::win32::ComObject<tlx::win32::TypelessDispatch> {
  public:
    EventSink(IID iid, EventHandler handler) : iid_(iid), handler_(std::move(handler)) {}
    void Disconnect() noexcept { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override;

  private:
    ~EventSink() override = default;
    void* Find(REFIID iid) noexcept override {
        return iid == IID_IDispatch || iid == iid_ ? static_cast<IDispatch*>(this) : nullptr;
    }

    IID iid_;
    EventHandler handler_;
};

}  // namespace tlx::console
