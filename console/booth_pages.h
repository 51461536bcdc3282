// The booth pages: one booth control per booth of the registry, each in a fixed cell of its
// page on the tab control. Controls are made once per login, a few at a time between the
// operator's messages (the page in view first); switching tabs only shows and hides them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "console/booth_registry.h"
#include "core/console/geometry.h"
#include "core/console/page_build.h"

namespace tlx::console {

class BoothPages {
  public:
    explicit BoothPages(BoothRegistry& booths) : booths_(booths) {}

    // While the login window waits for the operator: makes spare booth controls, hidden
    // children of `tab` reporting to `print_target`, for a few tens of milliseconds or until a
    // message waits. False once `wanted` are there or one cannot be made (the booth that needs
    // it tells the operator).
    bool MakeSpares(HWND tab, HWND print_target, int wanted);
    void DropSpares() { spares_.clear(); }

    // Starts a login's pages: the booths' cells in `display` on `tab`; a booth's print request
    // is posted to `print_target`. The first booth's control is made at once, and the rest of
    // the first page with it as far as spares go; false, after telling the operator, when one
    // cannot be made.
    bool Begin(HWND tab, const RECT& display, const tlx::console::PageGrid& grid,
               const std::string& currency, HWND print_target);
    // Makes more controls, those of booth page `shown_page` first, as hidden children placed in
    // their cells with the currency and their names, for a few tens of milliseconds or until
    // a message waits. False once every booth has its control (or one could not be made).
    bool Continue(int shown_page, const std::string& currency);
    // Shows the booths of booth page `selected` (counting from 0) once all of them are made,
    // and hides all others.
    void ShowPage(int selected) const;
    // Leaves the holders of booth page `page`'s controls out of the next painting (called
    // again once the window is shown: showing it makes everything in it due).
    void SkipHolderPaints(int page) const;
    bool PageBuilt(int page) const { return build_.PageBuilt(page); }
    bool done() const { return build_.done(); }

  private:
    bool Make(int index, const std::string& currency);
    EventHandler PrintRelay() const;

    BoothRegistry& booths_;
    tlx::console::PageGrid grid_;
    tlx::console::PageBuild build_;
    std::vector<CCabineX*> order_;  // the registry's booths in key order, for this login
    std::vector<std::unique_ptr<CCabineX>> spares_;  // controls made before the login
    HWND tab_ = nullptr;
    RECT display_{};
    HWND print_target_ = nullptr;
};

}  // namespace tlx::console
