// A read-only data grid over one of our recordsets: an owner-data list view that asks for the
// rows it draws, so a million rows cost what the screen shows. Columns have captions, may be
// hidden, and have widths in grid units: the horizontal dialog units of the dialog the grid
// sits in (a quarter of its font's average character width), so columns fit their texts
// whatever font and screen the operator has.
// The selected row is the recordset's current row; a change of it, also the one that binding
// a recordset makes, is told to the owner.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/bills_view.h"
#include "core/billing/recordset.h"
#include "win32/controls.h"

namespace tlx::console {

class DataGrid {
  public:
    using Format = std::function<std::string(std::string_view field, const tlx::billing::Value&)>;

    // Takes over the list view `list` (report view, owner data) with these columns.
    void Attach(HWND list, const std::vector<tlx::billing::GridColumn>& columns, Format format);
    HWND hwnd() const { return list_.hwnd(); }

    void SetKeyField(std::string field) { key_field_ = std::move(field); }
    const std::string& key_field() const { return key_field_; }
    // Binds the grid to `source` and selects its current row; null unbinds (an empty grid).
    void SetDataSource(tlx::billing::Recordset* source);
    tlx::billing::Recordset* data_source() const { return source_; }
    void OnCurrentRowChanged(std::function<void()> handler) {
        on_row_changed_ = std::move(handler);
    }
    // A click on a column's header, by field.
    void OnColumnClick(std::function<void(std::string_view field)> handler) {
        on_column_click_ = std::move(handler);
    }
    // The sort arrow on one column (true: up, false: down), or on none.
    void ShowSortMark(std::string_view field, bool ascending);

    // The list view's notifications, handed on by the dialog that owns it; true when handled.
    bool HandleNotify(const NMHDR& header, LRESULT& result);

  private:
    void Select(std::int64_t row);
    std::string CellText(int row, int column);

    tlx::win32::ListView list_;
    std::vector<tlx::billing::GridColumn> shown_;  // the visible columns, in order
    Format format_;
    std::string key_field_;
    tlx::billing::Recordset* source_ = nullptr;
    std::vector<int> field_of_column_;  // the recordset's field index of each shown column
    std::function<void()> on_row_changed_;
    std::function<void(std::string_view)> on_column_click_;
    bool selecting_ = false;
    int marked_ = -1;  // the row last marked, so that marking another need not ask the list
};

}  // namespace tlx::console
