#include "core/console/page_build.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace tlx::console {
namespace {

// The order booths are made in: the shown page's first, a page switch midway moves its booths
// ahead, and a page counts as made only when its last booth is.
TEST(PageBuild, ShownPageFirstThenTheRestInOrder) {
    struct Case {
        int booths, per_page;
        std::vector<int> shown;  // the page in view before each booth is made
        std::vector<int> order;
    };
    const Case cases[] = {
        {5, 2, {0, 0, 0, 0, 0}, {0, 1, 2, 3, 4}},
        {5, 2, {2, 2, 2, 2, 2}, {4, 0, 1, 2, 3}},         // the last, short page
        {6, 2, {0, 1, 1, 5, -1, 9}, {0, 2, 3, 1, 4, 5}},  // no such page: key order
        {3, 0, {0, 0, 0}, {0, 1, 2}},                     // a page holds at least one booth
    };
    for (const auto& c : cases) {
        PageBuild build;
        build.Reset(c.booths, c.per_page);
        std::vector<int> order;
        for (int shown : c.shown) {
            order.push_back(build.Next(shown));
            build.MarkBuilt(order.back());
        }
        EXPECT_EQ(order, c.order) << c.booths << " booths, " << c.per_page << " a page";
        EXPECT_TRUE(build.done());
        EXPECT_EQ(build.Next(0), -1);
    }

    PageBuild build;
    build.Reset(5, 2);
    build.MarkBuilt(3);
    build.MarkBuilt(3);  // made once, counted once
    EXPECT_FALSE(build.PageBuilt(1));
    build.MarkBuilt(2);
    EXPECT_TRUE(build.PageBuilt(1));
    EXPECT_FALSE(build.PageBuilt(2));
    build.MarkBuilt(4);
    EXPECT_TRUE(build.PageBuilt(2));
    EXPECT_FALSE(build.PageBuilt(3));
    EXPECT_FALSE(build.done());
    EXPECT_EQ(std::make_tuple(build.IsBuilt(0), build.IsBuilt(4), build.IsBuilt(9)),
              std::make_tuple(false, true, false));
}

// Calls arrive while the booths are made one by one: each booth ends with every call meant
// for it, in the order sent, whether it came before or after the booth was made.
TEST(PageBuild, CallsForBoothsNotMadeYetAreAppliedWhenMade) {
    const std::vector<std::string> keys{"1", "2", "3", "4", "5"};
    PageBuild build;
    build.Reset(5, 2);
    HeldCalls held;
    std::map<std::string, std::vector<std::string>> sent, applied;
    const auto apply = [&](const BoothCall& call) { applied[call.key].push_back(call.rate); };
    int serial = 0;
    for (int round = 0; !build.done() || round < 8; ++round) {
        for (const auto& key : keys) {
            BoothCall call{EventKind::kDial, key, "0123", "Local", std::to_string(serial++)};
            sent[key].push_back(call.rate);
            const int index = std::stoi(key) - 1;
            if (build.IsBuilt(index)) {
                apply(call);
            } else {
                held.Hold(std::move(call));
            }
        }
        const int next = build.Next(2);
        if (next < 0) continue;
        build.MarkBuilt(next);
        for (const auto& call : held.Release(keys[next])) apply(call);
    }
    EXPECT_EQ(applied, sent);
    EXPECT_TRUE(held.empty());
    EXPECT_TRUE(held.Release("1").empty());

    held.Hold({EventKind::kRejected, "9", "", "", "", 0, 0.0});
    held.Clear();  // a new login forgets the old session's calls
    EXPECT_TRUE(held.Release("9").empty());
}

}  // namespace
}  // namespace tlx::console
