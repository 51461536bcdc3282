// One table of the bills store as a grid's rows: the grid's columns are the table's, and each
// stored value is shown as the operator's regional settings write it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/widgets/data_grid.h"
#include "core/billing/columns.h"
#include "core/billing/recordset.h"

namespace tlx::console {

// A time and an amount as the grids show them: the operator's regional settings.
std::string RegionalTime(const tlx::billing::LocalTime& t);
std::string RegionalAmount(double value);

class StoredRows : public GridRows {
  public:
    StoredRows(tlx::billing::Recordset& recordset, const tlx::billing::StoreTable& table);

    // The table's columns as the grid shows them.
    std::vector<GridColumn> Columns() const;

    int RowCount() override { return static_cast<int>(recordset_.RecordCount()); }
    std::string CellText(int row, int column) override;
    int CurrentRow() override { return static_cast<int>(recordset_.current()); }
    void MoveTo(int row) override { recordset_.MoveTo(row); }
    void Prefetch(int first) override { recordset_.RowAt(first); }
    RowStyle StyleOf(int row) override;

    // How the row of each key stands out, asked once per key until ForgetStyles (none: plain).
    void SetStyleOf(std::function<RowStyle(std::int64_t key)> style_of) {
        style_of_ = std::move(style_of);
        styles_.clear();
    }
    void ForgetStyles() { styles_.clear(); }

  private:
    tlx::billing::Recordset& recordset_;
    tlx::billing::StoreTable table_;
    std::vector<int> field_of_column_;  // the recordset's field of each of the table's columns
    std::function<RowStyle(std::int64_t)> style_of_;
    std::unordered_map<std::int64_t, RowStyle> styles_;
};

}  // namespace tlx::console
