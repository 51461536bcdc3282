#include "console/booth_registry.h"

#include "win32/clock.h"
#include "win32/text.h"

namespace tlx::console {

CCabineX::~CCabineX() {
    cabine_.Reset();
    site_.reset();
}

HRESULT CCabineX::CreateControl(HWND parent, const RECT& rect, EventHandler on_event) {
    SiteOptions options;
    options.wantAllKeys = true;
    options.visible = false;
    options.eventIid = kIidICabineEvents;
    HRESULT hr = E_FAIL;
    auto site = ControlSite::Create(parent, kClsidTellarixCabine, rect, 0, std::move(on_event),
                                    options, &hr);
    if (!site) return FAILED(hr) ? hr : E_FAIL;
    auto cabine = site->QueryControl<ICabine>(kIidICabine);
    if (!cabine) return E_NOINTERFACE;
    site_ = std::move(site);
    cabine_ = std::move(cabine);
    return S_OK;
}

void CCabineX::Show(bool shown) {
    if (!site_) return;
    if (shown) {
        site_->Show();
    } else {
        site_->Hide();
    }
}

std::unique_ptr<CCabineX> CCabineX::TakeControl() {
    Show(false);
    auto holder = std::make_unique<CCabineX>(key_, display_name_);
    holder->site_ = std::move(site_);
    holder->cabine_ = std::move(cabine_);
    return holder;
}

HRESULT CCabineX::ApplyDisplayName(std::string name) {
    display_name_ = std::move(name);
    if (!cabine_) return E_POINTER;
    auto text = tlx::win32::Bstr::FromAnsi(display_name_, /*null_when_empty=*/true);
    const HRESULT hr = cabine_->SetCabineName(text.Address());
    SetWindowTextA(window(), display_name_.c_str());
    return hr;
}

HRESULT CCabineX::ApplyCurrency(const std::string& currency) {
    if (!cabine_) return E_POINTER;
    auto text = tlx::win32::Bstr::FromAnsi(currency);
    return cabine_->SetCurrency(text.Address());
}

CCabineX& BoothRegistry::AddBooth(const std::string& key, const std::string& alias) {
    auto [it, added] = booths_.try_emplace(key);
    if (added) it->second = std::make_unique<CCabineX>(key, alias.empty() ? key : alias);
    return *it->second;
}

void BoothRegistry::ClearBooths() {
    for (auto& [key, booth] : booths_) booth.reset();
    booths_.clear();
    held_.Clear();
}

void BoothRegistry::RetireControls() {
    for (auto& [key, booth] : booths_) {
        if (booth->has_control()) retired_.push_back(booth->TakeControl());
    }
    held_.Clear();
}

bool BoothRegistry::DropRetired(double seconds) {
    const double start = tlx::win32::CounterSeconds();
    while (!retired_.empty()) {
        retired_.pop_back();
        if (tlx::win32::CounterSeconds() - start > seconds) break;
    }
    return !retired_.empty();
}

ICabine* BoothRegistry::ControlOf(const std::string& key) const {
    const auto it = booths_.find(key);
    return it == booths_.end() ? nullptr : it->second->cabine();
}

bool BoothRegistry::DialCall(const std::string& key, const std::string& destination,
                             const std::string& description, const std::string& rate) {
    ICabine* cabine = ControlOf(key);
    if (!cabine) return false;
    using tlx::win32::Bstr;
    auto d = Bstr::FromAnsi(destination), s = Bstr::FromAnsi(description), r = Bstr::FromAnsi(rate);
    return SUCCEEDED(cabine->CallDial(d.Address(), s.Address(), r.Address()));
}

bool BoothRegistry::ConnectCall(const std::string& key) {
    ICabine* cabine = ControlOf(key);
    return cabine && SUCCEEDED(cabine->CallConnected());
}

bool BoothRegistry::FinishCall(const std::string& key, std::int32_t duration, double cost) {
    ICabine* cabine = ControlOf(key);
    if (!cabine) return false;
    short seconds = tlx::console::DurationForBooth(duration);
    return SUCCEEDED(cabine->CallFinished(&seconds, &cost));
}

bool BoothRegistry::RejectCall(const std::string& key) {
    ICabine* cabine = ControlOf(key);
    return cabine && SUCCEEDED(cabine->CallRejected());
}

bool BoothRegistry::Apply(const tlx::console::BoothCall& call) {
    using tlx::console::EventKind;
    if (const auto it = booths_.find(call.key); it != booths_.end() && !it->second->has_control()) {
        held_.Hold(call);
        return true;
    }
    switch (call.kind) {
        case EventKind::kDial:
            return DialCall(call.key, call.destination, call.description, call.rate);
        case EventKind::kConnected:
            return ConnectCall(call.key);
        case EventKind::kFinished:
            return FinishCall(call.key, call.duration, call.cost);
        case EventKind::kRejected:
            return RejectCall(call.key);
    }
    return false;
}

void BoothRegistry::ReleaseHeld(const std::string& key) {
    for (const auto& call : held_.Release(key)) Apply(call);
}

}  // namespace tlx::console
