#include "console/widgets/data_grid.h"

#include <gtest/gtest.h>

namespace tlx::console {

struct Rows : GridRows {
    int current = 5;
    int RowCount() override { return 100; }
    std::string CellText(int, int) override { return {}; }
    int CurrentRow() override { return current; }
    void MoveTo(int row) override { current = row; }
};

// A move to another row is told to the page once, not also for the moment in between with no
// row; a mark taken off for good is still told, once the queue is read.
TEST(DataGrid, TellsThePageOncePerMove) {
    DataGrid grid;
    Rows rows;
    HWND page = CreateWindowA("STATIC", "", 0, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    const tlx::win32::Subclass notes(page, [&](HWND h, UINT m, WPARAM w, LPARAM l) {
        LRESULT r = 0;
        return m == WM_NOTIFY && grid.HandleNotify(*reinterpret_cast<NMHDR*>(l), r)
                   ? r
                   : tlx::win32::Subclass::Next(h, m, w, l);
    });
    const tlx::win32::ListView list(CreateWindowA(WC_LISTVIEWA, "",
                                                  WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 400,
                                                  300, page, nullptr, nullptr, nullptr));
    std::string heard;  // the current row each time the page hears of a change
    grid.Attach(list, {{"Row", true, 40}});
    grid.SetDataSource(&rows);
    grid.OnCurrentRowChanged([&] { heard += std::to_string(rows.current) + " "; });
    for (const int row : {40, -1, 7}) {
        row < 0 ? list.SetState(40, 0, LVIS_SELECTED) : list.SelectOnly(row);
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    }
    EXPECT_EQ(heard, "40 -1 7 ");
    DestroyWindow(page);
}

}  // namespace tlx::console
