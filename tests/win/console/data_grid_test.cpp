#include "console/widgets/data_grid.h"

#include <gtest/gtest.h>

#include <vector>

namespace tlx::console {
namespace {

struct Rows : GridRows {
    int current = 5;
    int RowCount() override { return 100; }
    std::string CellText(int row, int) override { return std::to_string(row); }
    int CurrentRow() override { return current; }
    void MoveTo(int row) override { current = row; }
};

DataGrid* g_grid = nullptr;

LRESULT CALLBACK Owner(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (msg == WM_NOTIFY && g_grid && g_grid->HandleNotify(*reinterpret_cast<NMHDR*>(lp), result))
        return result;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Drain() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
}

// The page under a grid is refreshed once per move to another row (not for the moment between
// the old row's mark going and the new one's coming), and still when the mark goes for good.
TEST(DataGrid, TellsTheOwnerOncePerMove) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{0, Owner, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "GridTestOwner"};
    RegisterClassA(&wc);
    HWND owner = CreateWindowA("GridTestOwner", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                              0, 0, 400, 300, owner, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    {
        DataGrid grid;
        g_grid = &grid;
        Rows rows;
        std::vector<int> heard;  // the current row each time the owner hears of a change
        grid.Attach(list, {{"Row", true, 40}});
        grid.OnCurrentRowChanged([&] { heard.push_back(rows.CurrentRow()); });
        grid.SetDataSource(&rows);
        Drain();
        heard.clear();

        const tlx::win32::ListView view(list);
        view.SelectOnly(40);  // as the End key or a click on another row does it
        Drain();
        EXPECT_EQ(heard, std::vector<int>{40});
        view.SetState(40, 0, LVIS_SELECTED);  // the mark taken off, none left
        Drain();
        EXPECT_EQ(heard, (std::vector<int>{40, -1}));
        view.SelectOnly(7);
        Drain();
        EXPECT_EQ(heard, (std::vector<int>{40, -1, 7}));
        g_grid = nullptr;
    }
    DestroyWindow(owner);
}

}  // namespace
}  // namespace tlx::console
