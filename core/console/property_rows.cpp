#include "core/console/property_rows.h"

#include <algorithm>
#include <cstdlib>

namespace tlx::console {

int PropertyRows::Find(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (Editable(i) && (*this)[i].name == name) return i;
    return -1;
}

bool PropertyRows::Editable(int row) const {
    return row >= 0 && row < Count() && !(*this)[row].category;
}

int PropertyRows::NextEditable(int from, int step) const {
    int row = from + step;
    while (row >= 0 && row < Count() && !Editable(row)) row += step;
    return Editable(row) ? row : -1;
}

int PropertyRows::EditTarget(int from, int step) const {
    const int next = NextEditable(from, step);
    return next >= 0 ? next : from;
}

int RowForKey(GridKey key, int selected, int count, int visible_rows) {
    switch (key) {
        case GridKey::kUp:
            return std::max(0, selected - 1);
        case GridKey::kDown:
            return std::min(count - 1, selected + 1);
        case GridKey::kPageUp:
            return std::max(0, selected - visible_rows);
        case GridKey::kPageDown:
            // With nothing selected yet a page down starts from the first row.
            return std::min(count - 1, std::max(0, selected) + visible_rows);
        case GridKey::kHome:
            return 0;
        case GridKey::kEnd:
            return count - 1;
    }
    return selected;
}

bool StartsEditing(unsigned code) {
    return code >= 0x20 && code != 0x7F;
}

int VisibleRows(int height, int row_height) {
    return row_height > 0 ? std::max(1, height / row_height) : 1;
}

int RowAt(int y, int top, int row_height, int count) {
    if (y < 0 || row_height <= 0) return -1;
    const int row = top + y / row_height;
    return row < count ? row : -1;
}

int ClampTop(int top, int count, int visible_rows) {
    return std::clamp(top, 0, std::max(0, count - visible_rows));
}

int TopShowing(int row, int top, int visible_rows) {
    if (row < top) return row;
    if (row >= top + visible_rows) return row - visible_rows + 1;
    return top;
}

int SplitAt(int dragged, int width, int widest_caption) {
    if (dragged >= 0)
        return std::min(dragged, std::max(kGridGutter + kGridMinColumn, width - kGridMinColumn));
    return std::clamp(kGridGutter + widest_caption + 2 * kGridTextInset, width / 3,
                      std::max(width / 3, width / 2));
}

int DraggedSplit(int x, int width) {
    return std::clamp(x, kGridGutter + kGridMinColumn,
                      std::max(kGridGutter + kGridMinColumn, width - kGridMinColumn));
}

bool NearSplit(int x, int split) {
    return std::abs(x - split) <= kGridSplitGrip;
}

}  // namespace tlx::console
