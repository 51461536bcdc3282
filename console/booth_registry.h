// The booths of the session: one wrapper per booth around its hosted booth control, held in
// booth key order.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console/axhost/control_site.h"
#include "console/cabine_iface.h"
#include "core/console/booths.h"
#include "core/console/page_build.h"
#include "win32/com_ptr.h"

namespace tlx::console {

class CCabineX {
  public:
    CCabineX(std::string key, std::string display_name)
        : key_(std::move(key)), display_name_(std::move(display_name)) {}
    ~CCabineX();  // releases the control, then destroys its window
    CCabineX(const CCabineX&) = delete;
    CCabineX& operator=(const CCabineX&) = delete;

    // Creates the booth control as a hidden child of `parent`; every event it fires goes to
    // `on_event`. Returns the failure when the control cannot be made.
    HRESULT CreateControl(HWND parent, const RECT& rect, EventHandler on_event);
    bool has_control() const { return site_ != nullptr; }
    HWND window() const { return site_ ? site_->Window() : nullptr; }
    ICabine* cabine() const { return cabine_.Get(); }
    void Show(bool shown);
    // The control, hidden, in a booth of its own; this booth is left without one.
    std::unique_ptr<CCabineX> TakeControl();
    // Takes over the control of `spare`, made before this booth was known.
    void AdoptControl(CCabineX& spare) {
        site_ = std::move(spare.site_);
        cabine_ = std::move(spare.cabine_);
    }

    const std::string& key() const { return key_; }
    const std::string& display_name() const { return display_name_; }
    // The name the booth shows, on the control and as the window text.
    HRESULT ApplyDisplayName(std::string name);
    HRESULT ApplyCurrency(const std::string& currency);

  private:
    std::string key_;
    std::string display_name_;
    std::unique_ptr<ControlSite> site_;
    tlx::win32::ComPtr<ICabine> cabine_;
};

class BoothRegistry {
  public:
    using Map = std::map<std::string, std::unique_ptr<CCabineX>, tlx::console::BoothKeyLess>;

    // A key that is already there keeps its first booth and is not counted again.
    CCabineX& AddBooth(const std::string& key, const std::string& alias);
    // Every booth goes; retired controls go on being taken down by DropRetired.
    void ClearBooths();
    // Every booth and every retired control goes, at once.
    void DropAll() {
        ClearBooths();
        retired_.clear();
    }
    // After a lost connection: the booths keep their names but lose their controls at once
    // (hidden, no call reaches them); DropRetired takes the controls down a few at a time,
    // since taking a hundred down in one piece holds the login window for a second.
    void RetireControls();
    // Takes retired controls down for about `seconds`; false once none is left.
    bool DropRetired(double seconds);
    int booth_count() const { return static_cast<int>(booths_.size()); }
    const Map& booths() const { return booths_; }

    // The booth operations. A key that is not registered does nothing; a booth whose
    // control is missing or refuses the call skips the event (false) and the console goes on.
    // Apply holds a call for a booth whose control is not made yet, until ReleaseHeld.
    bool DialCall(const std::string& key, const std::string& destination,
                  const std::string& description, const std::string& rate);
    bool ConnectCall(const std::string& key);
    bool FinishCall(const std::string& key, std::int32_t duration, double cost);
    bool RejectCall(const std::string& key);
    bool Apply(const tlx::console::BoothCall& call);
    // Applies the calls held for the booth, now that its control is made.
    void ReleaseHeld(const std::string& key);

  private:
    ICabine* ControlOf(const std::string& key) const;

    Map booths_;
    std::vector<std::unique_ptr<CCabineX>> retired_;
    tlx::console::HeldCalls held_;
};

}  // namespace tlx::console
