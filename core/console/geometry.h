// Screen geometry of the console: the work area the main window fills and the grid of
// booth cells on the booth pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/booth/size.h"

namespace tlx::console {

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

std::optional<Rect> Intersect(const Rect& a, const Rect& b);

// The desktop minus the taskbar strip. When the taskbar does not cut a whole strip off one
// edge (or covers everything, or there is none), the desktop stays as it is.
Rect WorkArea(const Rect& desktop, const std::optional<Rect>& taskbar);

inline constexpr int kBoothCellWidth = booth::kBoothWidth;
inline constexpr int kBoothCellHeight = booth::kBoothHeight;
inline constexpr int kTabsShorterThanWorkArea = 30;  // room left below the tab control
inline constexpr int kPageInset = 5;                 // settings, web and bills pages
inline constexpr int kWebPageNarrower = 25;
inline constexpr int kWebPageLower = 35;

// The booth grid of one page. A display area smaller than one cell still holds one booth,
// so the page count always comes to an end.
struct PageGrid {
    int columns = 1;
    int booths_per_page = 1;

    static PageGrid ForDisplay(int display_width, int display_height);

    // Booth pages needed for the booths; at least one ("Booths #1" is always there).
    int PageCount(int booth_count) const;

    struct Cell {
        int page = 0, row = 0, column = 0;
        friend bool operator==(const Cell&, const Cell&) = default;
    };
    // Where booth number `index` (counting from 0 in key order) sits.
    Cell CellOf(int index) const;
    // Top-left corner of that cell inside the display area.
    std::pair<int, int> CellOrigin(int display_left, int display_top, int index) const;
    // Whether booth `index` is shown while tab `selected` is chosen.
    bool ShownOn(int index, int selected) const;
};

enum class PageKind { kBooths, kWeb, kSettings, kBills, kNone };
// What tab `selected` of `tab_count` tabs shows: the last three are web, settings, bills.
PageKind PageForTab(int selected, int tab_count);

// Tab captions in order: "Booths #1" ... then "Web Page", "Settings", "Bills".
std::vector<std::string> TabTitles(int booth_pages);

}  // namespace tlx::console
