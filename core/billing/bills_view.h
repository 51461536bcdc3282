// What the bills page reprints, without a window: a stored bill turned back into a Bill. The
// grids' columns and how each field is shown are in the column tables (columns.h).
#pragma once

#include "core/billing/bill.h"
#include "core/billing/columns.h"
#include "core/billing/recordset.h"

namespace tlx::billing {

// The bill to print again: the bills recordset's current row and every row of the calls
// recordset, stored amounts as they are (nothing recomputed). Values that cannot be read give
// empty texts, zero amounts and an invalid issue time.
Bill StoredBill(Recordset& bills, Recordset& calls);

}  // namespace tlx::billing
