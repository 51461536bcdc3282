// What the settings page's property grid decides without a window: its rows (bold category rows
// over editable caption/value rows), which row a key or a click reaches, how far it scrolls and
// where the line between captions and values stands. Rows are counted from 0; -1 is "none".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tlx::console {

// The grid's measures in pixels.
inline constexpr int kGridGutter = 12;     // the strip left of the captions
inline constexpr int kGridTextInset = 4;   // text from its cell's left edge
inline constexpr int kGridSplitGrip = 3;   // how near the column line the mouse takes hold of it
inline constexpr int kGridMinColumn = 24;  // neither column is dragged narrower than this

struct PropertyRow {
    bool category = false;
    std::string name, caption, value;
};

class PropertyRows {
  public:
    void Add(PropertyRow row) { rows_.push_back(std::move(row)); }
    int Count() const { return static_cast<int>(rows_.size()); }
    const PropertyRow& operator[](int row) const { return rows_[static_cast<std::size_t>(row)]; }
    PropertyRow& operator[](int row) { return rows_[static_cast<std::size_t>(row)]; }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

    // The editable row of that name; category rows have none.
    int Find(std::string_view name) const;
    bool Editable(int row) const;
    // The first editable row after `from` in `step`'s direction (+1 down, -1 up), category rows
    // passed over.
    int NextEditable(int from, int step) const;
    // Where an open editor goes on Tab, Shift+Tab, Up or Down: the next editable row in `step`'s
    // direction, or `from` again at either end.
    int EditTarget(int from, int step) const;

  private:
    std::vector<PropertyRow> rows_;
};

// The keys that move the selection while no editor is open.
enum class GridKey { kUp, kDown, kPageUp, kPageDown, kHome, kEnd };

// The row a key selects (category rows included); outside 0..count-1 means the selection stays.
int RowForKey(GridKey key, int selected, int count, int visible_rows);
// Whether a typed character opens the selected row's editor with that character in it.
bool StartsEditing(unsigned code);

// Whole rows that fit the grid's height, at least one.
int VisibleRows(int height, int row_height);
// The row under a point `y` pixels from the grid's top with `top` the first row shown.
int RowAt(int y, int top, int row_height, int count);
// The first row shown, kept within the rows: no empty space under the last one.
int ClampTop(int top, int count, int visible_rows);
// The first row shown once `row` has been scrolled into view, moving as little as possible.
int TopShowing(int row, int top, int visible_rows);

// The line between captions and values: where the operator dragged it (`dragged`, -1 when not)
// but leaving the values their narrowest column; else wide enough for the widest caption
// within a third to a half of the grid.
int SplitAt(int dragged, int width, int widest_caption);
// Where a drag to `x` puts the line: both columns keep their narrowest width.
int DraggedSplit(int x, int width);
bool NearSplit(int x, int split);

}  // namespace tlx::console
