// What the bills page shows and reprints, without a window: the two grids' columns, how each
// stored field is read, and a stored bill turned back into a Bill to print.
#pragma once

#include <string_view>
#include <vector>

#include "core/billing/bill.h"
#include "core/billing/recordset.h"

namespace tlx::billing {

struct GridColumn {
    std::string_view field;
    std::string_view caption;
    bool visible = true;
    int width = 0;  // grid units: horizontal dialog units of the page
};

inline const std::vector<GridColumn> kBillsColumns = {
    {"id_bill", "Index", true, 60},
    {"issued_date", "Issued date", true, 85},
    {"operator", "Operator's name", true, 105},
    {"cabin_number", "Cabin number", true, 90},
    {"total_cost", "Total cost", true, 75},
    {"total_taxes", "Total taxes", true, 85},
    {"total_cost_taxes", "Total cost incl. taxes", true, 130},
};
inline const std::vector<GridColumn> kCallsColumns = {
    {"id_call", "id_call", false, 36},
    {"destination", "Destination number", true, 115},
    {"id_bill", "id_bill", false, 32},
    {"end_date", "Call end date", true, 88},
    {"duration", "Duration", true, 65},
    {"rate", "Rate", true, 60},
    {"call_taxes", "Tax", true, 60},
    {"call_cost", "Total cost", true, 75},
    {"call_cost_taxes", "Total cost incl. taxes", true, 120},
};

// How a stored field is shown: keys as whole numbers, issue times as the operator's date and
// time, amounts with two decimals, the rest as text.
enum class FieldKind { kKey, kTime, kAmount, kText };
FieldKind KindOf(std::string_view field);

// The bill to print again: the bills recordset's current row and every row of the calls
// recordset, stored amounts as they are (nothing recomputed). Values that cannot be read give
// empty texts, zero amounts and an invalid issue time.
Bill StoredBill(Recordset& bills, Recordset& calls);

}  // namespace tlx::billing
