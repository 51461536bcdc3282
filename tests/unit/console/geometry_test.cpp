#include "core/console/geometry.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tlx::console {
namespace {

TEST(WorkArea, OnlyAWholeTaskbarStripIsTakenOff) {
    const Rect desktop{0, 0, 1024, 768};
    const std::pair<std::optional<Rect>, Rect> cases[] = {
        {Rect{0, 738, 1024, 768}, {0, 0, 1024, 738}},
        {Rect{0, 0, 1024, 40}, {0, 40, 1024, 768}},
        {Rect{0, 0, 60, 768}, {60, 0, 1024, 768}},
        {Rect{964, 0, 1024, 768}, {0, 0, 964, 768}},
        {Rect{-2, 740, 1026, 800}, {0, 0, 1024, 740}},  // only what lies on the screen
        {std::nullopt, desktop},
        {Rect{100, 100, 300, 140}, desktop},    // floating
        {Rect{0, 500, 1024, 540}, desktop},     // across the middle
        {Rect{-10, -10, 1300, 1100}, desktop},  // covers it all
        {Rect{0, 740, 640, 768}, desktop}};     // half a strip
    for (const auto& [taskbar, work] : cases) {
        const Rect got = WorkArea(desktop, taskbar);
        EXPECT_EQ(got, work) << got.left << "," << got.top << "," << got.right << "," << got.bottom;
    }
}

TEST(PageGrid, NineBoothsAPageOnAThousandBySevenHundred) {
    const auto grid = PageGrid::ForDisplay(1000, 700);
    EXPECT_EQ(grid.columns, 3);
    EXPECT_EQ(grid.booths_per_page, 9);
    for (const auto& [booths, pages] : {std::pair{20, 3}, {9, 1}, {10, 2}, {0, 1}})
        EXPECT_EQ(grid.PageCount(booths), pages) << booths;
    EXPECT_EQ(TabTitles(grid.PageCount(20)),
              (std::vector<std::string>{"Booths #1", "Booths #2", "Booths #3", "Web Page",
                                        "Settings", "Bills"}));
    EXPECT_EQ(grid.CellOrigin(2, 24, 9), (std::pair{2, 24}));  // the tenth opens page two
    EXPECT_EQ(grid.CellOrigin(2, 24, 5), (std::pair{2 + 2 * 270, 24 + 225}));

    std::vector<int> shown;
    for (int i = 0; i < 20; ++i) {
        if (grid.ShownOn(i, 1)) shown.push_back(i);
        EXPECT_FALSE(grid.ShownOn(i, -1)) << "no selection shows no booth";
        EXPECT_FALSE(grid.ShownOn(i, 4)) << "the settings tab of six shows no booth";
    }
    EXPECT_EQ(shown, (std::vector<int>{9, 10, 11, 12, 13, 14, 15, 16, 17}));
}

TEST(PageGrid, DisplayBelowOneCellStillHoldsOneBoothPerPage) {
    for (const auto& [w, h, per_page] : {std::tuple{-5, -5, 1}, {269, 700, 3}, {1000, 224, 3}})
        EXPECT_EQ(PageGrid::ForDisplay(w, h).booths_per_page, per_page) << w << "x" << h;
    EXPECT_EQ(PageGrid::ForDisplay(100, 700).CellOf(4), (PageGrid::Cell{1, 1, 0}));
}

// The pages are filled booth by booth: column first, then row, a new page when full.
// The direct formula must place every booth where that walk puts it.
TEST(PageGrid, CellOfMatchesFillingThePagesOneByOne) {
    for (auto [w, h] : {std::pair{1000, 700}, {270, 225}, {2000, 300}}) {
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

}  // namespace
}  // namespace tlx::console
