// "Export..." on the Bills page: a range of days and a folder, then bills.csv and calls.csv
// written there in the regional form the operator's spreadsheet reads, and the outcome told.
#pragma once

#include <windows.h>

namespace tlx::console {

// Window thread, COM initialised.
void ExportBills(HWND owner);

}  // namespace tlx::console
