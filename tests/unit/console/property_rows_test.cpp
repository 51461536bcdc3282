#include "core/console/property_rows.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tlx::console {
namespace {

// A grid as the settings page fills it, with a second category and one at the very end, so
// that every walk meets category rows at its start, its middle and its end.
PropertyRows SettingsLikeRows() {
    PropertyRows rows;
    rows.Add({true, "thanks", "Bill", ""});           // 0: a category never answers to a name
    rows.Add({false, "company", "Company", "Shop"});  // 1
    rows.Add({false, "vat", "Financial ID", "VAT"});  // 2
    rows.Add({true, "", "Footer", ""});               // 3
    rows.Add({true, "", "More", ""});                 // 4
    rows.Add({false, "thanks", "Thanks", "Bye"});     // 5
    rows.Add({true, "", "Trailing", ""});             // 6
    return rows;
}

TEST(PropertyRows, FindAndEditableSkipCategoryRows) {
    const PropertyRows rows = SettingsLikeRows();
    for (const auto& [name, row] : {std::pair{"company", 1},
                                    {"vat", 2},
                                    {"thanks", 5},
                                    {"", -1},
                                    {"Bill", -1},
                                    {"Company", -1}})
        EXPECT_EQ(rows.Find(name), row) << name;
    for (const auto& [row, editable] : {std::pair{-1, false},
                                        {0, false},
                                        {1, true},
                                        {2, true},
                                        {3, false},
                                        {4, false},
                                        {5, true},
                                        {6, false},
                                        {7, false}})
        EXPECT_EQ(rows.Editable(row), editable) << row;
    EXPECT_EQ(PropertyRows().Find("company"), -1);
}

// Tab / Down go on with +1, Shift+Tab / Up go back with -1; an open editor that has nowhere to
// go stays on its row.
TEST(PropertyRows, NextEditableAndEditTargetWalkPastCategories) {
    const PropertyRows rows = SettingsLikeRows();
    const std::tuple<int, int, int, int> cases[] = {
        // from, step, next editable, edit target
        {-1, 1, 1, 1},  // coming in from above: the first value, past the top category
        {1, 1, 2, 2},   {2, 1, 5, 5},    // two categories in a row passed over
        {5, 1, -1, 5},                   // last value: only a category follows
        {5, -1, 2, 2},                   // and back again
        {2, -1, 1, 1},  {1, -1, -1, 1},  // first value: only a category above
        {7, -1, 5, 5},                   // from past the end, back onto the last value
        {3, 1, 5, 5},                    // from a selected category
        {0, -1, -1, 0},
    };
    for (const auto& [from, step, next, target] : cases) {
        EXPECT_EQ(rows.NextEditable(from, step), next) << from << " step " << step;
        EXPECT_EQ(rows.EditTarget(from, step), target) << from << " step " << step;
    }
    PropertyRows categories_only;
    categories_only.Add({true, "", "Bill", ""});
    EXPECT_EQ(categories_only.NextEditable(-1, 1), -1);
    EXPECT_EQ(PropertyRows().NextEditable(-1, 1), -1);
}

// Without an editor the keys move over every row, categories too, and stop at the ends; a
// result outside the rows leaves the selection as it is.
TEST(PropertyGridKeys, SelectionMovesAndStopsAtTheEnds) {
    constexpr int kCount = 20, kPage = 6;
    const std::tuple<GridKey, int, int> cases[] = {
        {GridKey::kUp, 5, 4},         {GridKey::kUp, 0, 0},        {GridKey::kUp, -1, 0},
        {GridKey::kDown, 5, 6},       {GridKey::kDown, 19, 19},    {GridKey::kDown, -1, 0},
        {GridKey::kPageUp, 10, 4},    {GridKey::kPageUp, 3, 0},    {GridKey::kPageDown, 10, 16},
        {GridKey::kPageDown, 17, 19}, {GridKey::kPageDown, -1, 6}, {GridKey::kHome, 12, 0},
        {GridKey::kEnd, 3, 19},
    };
    for (const auto& [key, selected, row] : cases)
        EXPECT_EQ(RowForKey(key, selected, kCount, kPage), row)
            << static_cast<int>(key) << " from " << selected;
}

TEST(PropertyGridKeys, PrintableCharactersStartTheEditor) {
    for (unsigned code : {unsigned{' '}, unsigned{'7'}, unsigned{'a'}, 0x80u, 0xA3u, 0xFFu})
        EXPECT_TRUE(StartsEditing(code)) << code;
    for (unsigned code : {0u, unsigned{'\b'}, unsigned{'\t'}, unsigned{'\r'}, 0x1Bu, 0x1Fu, 0x7Fu})
        EXPECT_FALSE(StartsEditing(code)) << code;
}

TEST(PropertyGridRows, RowAtAPointCountsFromTheFirstRowShown) {
    constexpr int kHeight = 16, kCount = 10;
    const std::tuple<int, int, int> cases[] = {
        // y, top, row
        {0, 0, 0},   {15, 0, 0},  {16, 0, 1}, {159, 0, 9}, {160, 0, -1},  // below the last row
        {-1, 0, -1}, {-1, 4, -1},                                         // above the grid
        {0, 4, 4},   {31, 4, 5},  {95, 4, 9}, {96, 4, -1},
    };
    for (const auto& [y, top, row] : cases)
        EXPECT_EQ(RowAt(y, top, kHeight, kCount), row) << "y " << y << " top " << top;
    EXPECT_EQ(RowAt(5, 0, kHeight, 0), -1) << "an empty grid";
}

TEST(PropertyGridRows, ScrollingKeepsRowsOnScreenAndNoSpaceBelowTheLast) {
    for (const auto& [height, visible] :
         {std::pair{0, 1}, {15, 1}, {16, 1}, {47, 2}, {48, 3}, {-20, 1}})
        EXPECT_EQ(VisibleRows(height, 16), visible) << height;

    const std::tuple<int, int, int, int> clamps[] = {
        // top, count, visible, clamped
        {5, 20, 6, 5},   {-3, 20, 6, 0}, {15, 20, 6, 14},
        {14, 20, 6, 14}, {3, 4, 6, 0},  // everything fits: no scrolling
        {2, 0, 6, 0},
    };
    for (const auto& [top, count, visible, clamped] : clamps)
        EXPECT_EQ(ClampTop(top, count, visible), clamped) << top << "/" << count;

    const std::tuple<int, int, int> showing[] = {
        // row, top, new top (6 rows visible)
        {7, 5, 5},   {10, 5, 5},  // already on screen: no scrolling
        {4, 5, 4},                // above: it becomes the first
        {11, 5, 6},               // below: it becomes the last
        {19, 0, 14},
    };
    for (const auto& [row, top, new_top] : showing)
        EXPECT_EQ(TopShowing(row, top, 6), new_top) << row << " from " << top;
}

// The column line on a grid 300 pixels wide: a third is 100, a half 150, and either column
// keeps 24 pixels when dragged.
TEST(PropertyGridSplit, LineFollowsCaptionsOrDragButKeepsBothColumns) {
    const std::tuple<int, int, int, int> splits[] = {
        // dragged, width, widest caption, line
        {-1, 300, 40, 100},                      // short captions: a third
        {-1, 300, 100, 120},                     // 12 gutter + 100 + 2 * 4 inset
        {-1, 300, 200, 150},                     // long captions: at most a half
        {-1, 0, 40, 0},                          // not laid out yet
        {200, 300, 40, 200},                     // dragged: the captions no longer count
        {290, 300, 40, 276},                     // the values keep 24
        {200, 250, 40, 200}, {200, 30, 40, 36},  // too narrow for both: the captions' minimum wins
    };
    for (const auto& [dragged, width, widest, line] : splits)
        EXPECT_EQ(SplitAt(dragged, width, widest), line)
            << dragged << "/" << width << "/" << widest;

    const std::tuple<int, int, int> drags[] = {
        // x, width, line
        {150, 300, 150}, {10, 300, 36}, {-50, 300, 36}, {299, 300, 276}, {150, 40, 36},
    };
    for (const auto& [x, width, line] : drags)
        EXPECT_EQ(DraggedSplit(x, width), line) << x << " in " << width;

    for (const auto& [x, near] :
         {std::pair{100, true}, {97, true}, {103, true}, {96, false}, {104, false}})
        EXPECT_EQ(NearSplit(x, 100), near) << x;
}

}  // namespace
}  // namespace tlx::console
