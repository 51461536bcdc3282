// The booth pages: one booth control per booth of the registry, each in a fixed cell of its
// page on the tab control. Controls are made once per login; switching tabs only shows and
// hides them.
#pragma once

#include <windows.h>

#include <string>

#include "console/booth_registry.h"
#include "core/console/geometry.h"

namespace tlx::console {

class BoothPages {
  public:
    explicit BoothPages(BoothRegistry& booths) : booths_(booths) {}

    // Creates the controls of the booths that have none yet as hidden children of `tab`,
    // places every booth in its cell of `display` and tells it the currency and its name. A
    // booth's print request is posted to `print_target`. False, after telling the operator,
    // when a control cannot be made (booths made so far stay).
    bool Build(HWND tab, const RECT& display, const tlx::console::PageGrid& grid,
               const std::string& currency, HWND print_target);
    // Shows the booths of booth page `selected` (counting from 0) and hides all others.
    void ShowPage(int selected) const;

  private:
    BoothRegistry& booths_;
    tlx::console::PageGrid grid_;
};

}  // namespace tlx::console
