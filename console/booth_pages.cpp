#include "console/booth_pages.h"

#include <memory>

#include "console/messages.h"
#include "core/console/texts.h"
#include "win32/clock.h"
#include "win32/dialog.h"
#include "win32/text.h"

namespace tlx::console {

using tlx::console::kBoothCellHeight;
using tlx::console::kBoothCellWidth;
namespace texts = tlx::console::texts;

namespace {

// Long enough to make a booth or two; short, because a page already shown waits for the slice
// to end before it answers (30 ms slices held the thread up to 0.18 s after the page painted).
constexpr double kSliceSeconds = 0.015;

}  // namespace

bool BoothPages::Begin(HWND tab, const RECT& display, const tlx::console::PageGrid& grid,
                       const std::string& currency, HWND print_target) {
    grid_ = grid;
    tab_ = tab;
    display_ = display;
    print_target_ = print_target;
    order_.clear();
    for (const auto& [key, booth] : booths_.booths()) order_.push_back(booth.get());
    build_.Reset(static_cast<int>(order_.size()), grid_.booths_per_page);
    // A control that cannot be made at all shows at once, before the main window does. Spares
    // fill the first page before the window shows, so it paints once, whole.
    for (int index = build_.Next(0); index >= 0; index = build_.Next(0)) {
        if (!Make(index, currency)) return false;
        if (spares_.empty() || build_.PageBuilt(0)) break;
    }
    return true;
}

bool BoothPages::MakeSpares(HWND tab, HWND print_target, int wanted) {
    tab_ = tab;
    print_target_ = print_target;
    const double start = tlx::win32::CounterSeconds();
    while (static_cast<int>(spares_.size()) < wanted) {
        auto spare = std::make_unique<CCabineX>(std::string(), std::string());
        const RECT cell{0, 0, kBoothCellWidth, kBoothCellHeight};
        if (FAILED(spare->CreateControl(tab_, cell, PrintRelay()))) return false;
        spares_.push_back(std::move(spare));
        if (tlx::win32::CounterSeconds() - start > kSliceSeconds) break;
        if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT))) break;
    }
    return static_cast<int>(spares_.size()) < wanted;
}

bool BoothPages::Continue(int shown_page, const std::string& currency) {
    const double start = tlx::win32::CounterSeconds();
    while (!build_.done()) {
        const int index = build_.Next(shown_page);
        if (!Make(index, currency)) {
            build_.Reset(0, 1);  // the operator has been told; the booths made so far stay
            return false;
        }
        if (grid_.ShownOn(index, shown_page) && build_.PageBuilt(shown_page)) ShowPage(shown_page);
        if (tlx::win32::CounterSeconds() - start > kSliceSeconds) break;
        if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT))) break;
    }
    return !build_.done();
}

EventHandler BoothPages::PrintRelay() const {
    // The booth's print request: the calls text travels to the main window as a posted
    // message, so the booth's event call returns before the bill is made.
    return [print_target = print_target_](DISPID id, DISPPARAMS* params) -> HRESULT {
        if (id != kDispidOnPrintClick) return S_OK;
        auto text = EventArgText(params, 0);
        auto calls = std::make_unique<std::string>(tlx::win32::AnsiFromWide(text.value_or(L"")));
        PostTexts(print_target, WM_PRINT_BILL, std::move(calls));
        return S_OK;
    };
}

bool BoothPages::Make(int index, const std::string& currency) {
    CCabineX* booth = order_[index];
    if (!booth->has_control() && !spares_.empty()) {
        booth->AdoptControl(*spares_.back());
        spares_.pop_back();
    }
    if (!booth->has_control()) {
        const RECT cell{0, 0, kBoothCellWidth, kBoothCellHeight};
        if (FAILED(booth->CreateControl(tab_, cell, PrintRelay()))) {
            tlx::win32::MessageBox(tab_, texts::kCannotCreateBooths, texts::kErrorCaption,
                                   MB_OK | MB_ICONERROR);
            return false;
        }
    }
    const auto [x, y] = grid_.CellOrigin(display_.left, display_.top, index);
    SetWindowPos(booth->window(), HWND_TOP, x, y, kBoothCellWidth, kBoothCellHeight,
                 SWP_HIDEWINDOW);
    booth->ApplyCurrency(currency);
    booth->ApplyDisplayName(booth->display_name());
    build_.MarkBuilt(index);
    booths_.ReleaseHeld(booth->key());
    return true;
}

void BoothPages::ShowPage(int selected) const {
    const bool whole = build_.PageBuilt(selected);
    int index = 0;
    for (const auto& [key, booth] : booths_.booths()) {
        booth->Show(whole && grid_.ShownOn(index++, selected));
    }
    SkipHolderPaints(selected);
}

void BoothPages::SkipHolderPaints(int page) const {
    if (!build_.PageBuilt(page)) return;
    int index = 0;
    for (const auto& [key, booth] : booths_.booths()) {
        // The booth control covers its holder whole, and the holder clips it: the holder has
        // nothing of its own to paint (each such paint cost some 25 window server requests).
        if (grid_.ShownOn(index++, page) && booth->has_control())
            RedrawWindow(booth->window(), nullptr, nullptr,
                         RDW_VALIDATE | RDW_NOCHILDREN | RDW_NOFRAME | RDW_NOERASE);
    }
}

}  // namespace tlx::console
