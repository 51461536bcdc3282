#include "console/geometry.h"

#include <gtest/gtest.h>

namespace tlx::console {
namespace {

TEST(WorkArea, TaskbarStripIsTakenOffItsEdge) {
    const Rect desktop{0, 0, 1024, 768};
    EXPECT_EQ(WorkArea(desktop, Rect{0, 738, 1024, 768}), (Rect{0, 0, 1024, 738}));
    EXPECT_EQ(WorkArea(desktop, Rect{0, 0, 1024, 40}), (Rect{0, 40, 1024, 768}));
    EXPECT_EQ(WorkArea(desktop, Rect{0, 0, 60, 768}), (Rect{60, 0, 1024, 768}));
    EXPECT_EQ(WorkArea(desktop, Rect{964, 0, 1024, 768}), (Rect{0, 0, 964, 768}));
    // A taskbar reaching past the screen edge only takes what lies on the screen.
    EXPECT_EQ(WorkArea(desktop, Rect{-2, 740, 1026, 800}), (Rect{0, 0, 1024, 740}));
}

TEST(WorkArea, DesktopStaysWhenNoStripCanBeCut) {
    const Rect desktop{0, 0, 1280, 1024};
    EXPECT_EQ(WorkArea(desktop, std::nullopt), desktop);
    EXPECT_EQ(WorkArea(desktop, Rect{100, 100, 300, 140}), desktop);    // floating
    EXPECT_EQ(WorkArea(desktop, Rect{0, 500, 1280, 540}), desktop);     // across the middle
    EXPECT_EQ(WorkArea(desktop, Rect{2000, 0, 2100, 1024}), desktop);   // other screen
    EXPECT_EQ(WorkArea(desktop, Rect{-10, -10, 1300, 1100}), desktop);  // covers it all
    EXPECT_EQ(WorkArea(desktop, Rect{0, 1000, 640, 1024}), desktop);    // half a strip
}

TEST(PageGrid, CellsPerPageFromTheDisplayArea) {
    const auto grid = PageGrid::ForDisplay(1000, 700);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.booths_per_page, 9);
    EXPECT_EQ(grid.PageCount(20), 3);
    EXPECT_EQ(grid.PageCount(9), 1);
    EXPECT_EQ(grid.PageCount(10), 2);
    EXPECT_EQ(grid.PageCount(0), 1);
    EXPECT_EQ(TabTitles(grid.PageCount(20)),
              (std::vector<std::string>{"Booths #1", "Booths #2", "Booths #3", "Web Page",
                                        "Settings", "Bills"}));
    EXPECT_EQ(TabTitles(0).front(), "Booths #1");
}

TEST(PageGrid, DisplayBelowOneCellStillHoldsOneBoothPerPage) {
    for (auto [w, h] : {std::pair{0, 0}, {269, 700}, {1000, 224}, {-5, -5}}) {
        const auto grid = PageGrid::ForDisplay(w, h);
        EXPECT_GE(grid.columns, 1);
        EXPECT_GE(grid.booths_per_page, 1);
        EXPECT_EQ(grid.PageCount(7), 7 / grid.booths_per_page + (7 % grid.booths_per_page != 0));
    }
    const auto narrow = PageGrid::ForDisplay(100, 700);  // one column, three rows
    EXPECT_EQ(narrow.booths_per_page, 3);
    EXPECT_EQ(narrow.CellOf(4), (PageGrid::Cell{1, 1, 0}));
}

// The pages are filled booth by booth: column first, then row, a new page when full.
// The direct formula must place every booth where that walk puts it.
TEST(PageGrid, CellOfMatchesFillingThePagesOneByOne) {
    for (auto [w, h] : {std::pair{1000, 700}, {1280, 994}, {270, 225}, {2000, 300}, {300, 2000}}) {
        const auto grid = PageGrid::ForDisplay(w, h);
        int page = 0, row = 0, column = 0;
        for (int i = 0; i < 250; ++i) {
            ASSERT_EQ(grid.CellOf(i), (PageGrid::Cell{page, row, column}))
                << w << "x" << h << " #" << i;
            if (++column == grid.columns) {
                column = 0;
                ++row;
            }
            if (row * grid.columns + column == grid.booths_per_page) {
                row = column = 0;
                ++page;
            }
        }
    }
}

TEST(PageGrid, TenthBoothOpensTheSecondPage) {
    const auto grid = PageGrid::ForDisplay(1000, 700);
    EXPECT_EQ(grid.CellOf(9), (PageGrid::Cell{1, 0, 0}));
    EXPECT_EQ(grid.CellOrigin(2, 24, 9), (std::pair{2, 24}));
    EXPECT_EQ(grid.CellOrigin(2, 24, 5), (std::pair{2 + 2 * 270, 24 + 225}));
}

TEST(PageGrid, SelectedTabShowsOnlyItsBooths) {
    const auto grid = PageGrid::ForDisplay(1000, 700);
    std::vector<int> shown;
    for (int i = 0; i < 20; ++i) {
        if (grid.ShownOn(i, 1)) shown.push_back(i);
    }
    EXPECT_EQ(shown, (std::vector<int>{9, 10, 11, 12, 13, 14, 15, 16, 17}));
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(grid.ShownOn(i, -1)) << "no selection shows no booth";
        EXPECT_FALSE(grid.ShownOn(i, 4)) << "the settings tab of six shows no booth";
    }
}

}  // namespace
}  // namespace tlx::console
