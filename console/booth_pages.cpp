#include "console/booth_pages.h"

#include <memory>

#include "console/messages.h"
#include "core/console/texts.h"
#include "win32/dialog.h"
#include "win32/text.h"

namespace tlx::console {

using tlx::console::kBoothCellHeight;
using tlx::console::kBoothCellWidth;
namespace texts = tlx::console::texts;

bool BoothPages::Build(HWND tab, const RECT& display, const tlx::console::PageGrid& grid,
                       const std::string& currency, HWND print_target) {
    grid_ = grid;
    // The booth's print request: the calls text travels to the main window as a posted
    // message, so the booth's event call returns before the bill is made.
    auto on_event = [print_target](DISPID id, DISPPARAMS* params) -> HRESULT {
        if (id != kDispidOnPrintClick) return S_OK;
        auto text = EventArgText(params, 0);
        auto calls = std::make_unique<std::string>(tlx::win32::AnsiFromWide(text.value_or(L"")));
        PostTexts(print_target, WM_PRINT_BILL, std::move(calls));
        return S_OK;
    };
    int index = 0;
    for (const auto& [key, booth] : booths_.booths()) {
        if (!booth->has_control()) {
            const RECT cell{0, 0, kBoothCellWidth, kBoothCellHeight};
            if (FAILED(booth->CreateControl(tab, cell, on_event))) {
                tlx::win32::MessageBox(tab, texts::kCannotCreateBooths, texts::kErrorCaption,
                                       MB_OK | MB_ICONERROR);
                return false;
            }
        }
        const auto [x, y] = grid_.CellOrigin(display.left, display.top, index++);
        SetWindowPos(booth->window(), HWND_TOP, x, y, kBoothCellWidth, kBoothCellHeight,
                     SWP_HIDEWINDOW);
        booth->ApplyCurrency(currency);
        booth->ApplyDisplayName(booth->display_name());
    }
    return true;
}

void BoothPages::ShowPage(int selected) const {
    int index = 0;
    for (const auto& [key, booth] : booths_.booths()) booth->Show(grid_.ShownOn(index++, selected));
}

}  // namespace tlx::console
