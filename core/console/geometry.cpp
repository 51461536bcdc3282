#include "core/console/geometry.h"

#include <algorithm>

#include "core/console/texts.h"

namespace tlx::console {

std::optional<Rect> Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.empty()) return std::nullopt;
    return r;
}

Rect WorkArea(const Rect& desktop, const std::optional<Rect>& taskbar) {
    if (!taskbar) return desktop;
    const auto cut = Intersect(desktop, *taskbar);
    if (!cut || *cut == desktop) return desktop;
    Rect area = desktop;
    if (cut->top == desktop.top && cut->bottom == desktop.bottom) {
        if (cut->left == desktop.left) {
            area.left = cut->right;
        } else if (cut->right == desktop.right) {
            area.right = cut->left;
        }
    } else if (cut->left == desktop.left && cut->right == desktop.right) {
        if (cut->top == desktop.top) {
            area.top = cut->bottom;
        } else if (cut->bottom == desktop.bottom) {
            area.bottom = cut->top;
        }
    }
    return area;
}

PageGrid PageGrid::ForDisplay(int display_width, int display_height) {
    PageGrid grid;
    grid.columns = std::max(1, display_width / kBoothCellWidth);
    const int rows = std::max(1, display_height / kBoothCellHeight);
    grid.booths_per_page = rows * grid.columns;
    return grid;
}

int PageGrid::PageCount(int booth_count) const {
    if (booth_count <= booths_per_page) return 1;
    return (booth_count + booths_per_page - 1) / booths_per_page;
}

PageGrid::Cell PageGrid::CellOf(int index) const {
    const int on_page = index % booths_per_page;
    return Cell{index / booths_per_page, on_page / columns, on_page % columns};
}

std::pair<int, int> PageGrid::CellOrigin(int display_left, int display_top, int index) const {
    const Cell cell = CellOf(index);
    return {display_left + cell.column * kBoothCellWidth,
            display_top + cell.row * kBoothCellHeight};
}

bool PageGrid::ShownOn(int index, int selected) const {
    if (selected < 0) return false;
    const long long first = static_cast<long long>(selected) * booths_per_page;
    return index >= first && index < first + booths_per_page;
}

PageKind PageForTab(int selected, int tab_count) {
    if (selected < 0 || selected >= tab_count) return PageKind::kNone;
    if (selected == tab_count - 1) return PageKind::kBills;
    if (selected == tab_count - 2) return PageKind::kSettings;
    if (selected == tab_count - 3) return PageKind::kWeb;
    return PageKind::kBooths;
}

std::vector<std::string> TabTitles(int booth_pages) {
    std::vector<std::string> titles;
    for (int page = 1; page <= std::max(1, booth_pages); ++page) {
        titles.push_back(std::string(texts::kBoothTabPrefix) + std::to_string(page));
    }
    for (const auto title : {texts::kWebTab, texts::kSettingsTab, texts::kBillsTab}) {
        titles.emplace_back(title);
    }
    return titles;
}

}  // namespace tlx::console
