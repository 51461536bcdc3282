// A read-only data grid over rows it asks for: an owner-data list view that asks its row source
// for the rows it draws, so a million rows cost what the screen shows. Columns have captions,
// may be hidden, and have widths in grid units: the horizontal dialog units of the dialog the
// grid sits in (a quarter of its font's average character width), so columns fit their texts
// whatever font and screen the operator has.
// The selected row is the source's current row; a change of it, also the one that binding a
// source makes, is told to the owner.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "win32/controls.h"
#include "win32/subclass.h"

namespace tlx::console {

// How a row stands out from the others: what that means is the source's business.
enum class RowStyle { kNormal, kMuted, kAlert };

// What a grid shows. Columns are counted as the grid's Attach got them, hidden ones included.
class GridRows {
  public:
    virtual ~GridRows() = default;
    virtual int RowCount() = 0;
    // A cell's text; empty when the row cannot be read.
    virtual std::string CellText(int row, int column) = 0;
    // The current row, -1 for none; the grid moves it as the operator selects.
    virtual int CurrentRow() = 0;
    virtual void MoveTo(int row) = 0;
    // The rows from `first` on are about to be drawn: a source may read them at once.
    virtual void Prefetch(int first) { (void)first; }
    // Muted rows are drawn grey, alerts red; asked for every row as it is drawn.
    virtual RowStyle StyleOf(int row) {
        (void)row;
        return RowStyle::kNormal;
    }
};

struct GridColumn {
    std::string_view caption;
    bool shown = true;
    int width = 0;  // grid units
};

class DataGrid {
  public:
    // Takes over the list view `list` (report view, owner data) with these columns. The grid
    // stays where it is while attached: the list's messages reach it.
    void Attach(HWND list, const std::vector<GridColumn>& columns);
    HWND hwnd() const { return list_.hwnd(); }

    // Binds the grid to `source` (read again: its count, rows and current row) and selects its
    // current row; null unbinds (an empty grid). Binding the bound source again is how its
    // owner shows that its rows changed: the list stays as it is but for the count.
    void SetDataSource(GridRows* source);
    GridRows* data_source() const { return source_; }
    void OnCurrentRowChanged(std::function<void()> handler) {
        on_row_changed_ = std::move(handler);
    }
    // A click on a column's header.
    void OnColumnClick(std::function<void(int column)> handler) {
        on_column_click_ = std::move(handler);
    }
    // The sort arrow on one column (true: up, false: down), or on none.
    void ShowSortMark(int column, bool ascending);

    // The list view's notifications, handed on by the dialog that owns it; true when handled.
    bool HandleNotify(const NMHDR& header, LRESULT& result);

  private:
    // What a row showed when it was last drawn.
    struct Drawn {
        std::vector<std::optional<std::string>> cells;  // by list column; none: not drawn
        RowStyle style = RowStyle::kNormal;
        bool styled = false;
    };

    void SetRowCount(int rows);
    void RepaintChangedRows(int rows_before);
    void InvalidateRows();
    bool ReadsAsDrawn(int row);
    LRESULT ListMessage(HWND list, UINT msg, WPARAM wparam, LPARAM lparam);
    void Select(int row);
    std::string CellText(int row, int shown_column);
    std::string DrawnText(int row, int shown_column);  // the text, kept as drawn

    tlx::win32::ListView list_;
    std::vector<int> shown_;  // the grid's column of each list column, in order
    GridRows* source_ = nullptr;
    std::function<void()> on_row_changed_;
    std::function<void(int)> on_column_click_;
    bool selecting_ = false;
    tlx::win32::Subclass watch_;
    bool left_told_later_ = false;  // a mark lost with none left, told once the queue is read
    int marked_ = -1;  // the row last marked, so that marking another need not ask the list
    // The rows drawn lately, so that a source bound again repaints only what reads otherwise.
    std::unordered_map<int, Drawn> drawn_;
};

}  // namespace tlx::console
