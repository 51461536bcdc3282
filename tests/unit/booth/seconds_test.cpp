#include "core/booth/seconds.h"

#include <gtest/gtest.h>

#include <string>

namespace tlx::booth {
namespace {

// Booths a, b, c on one clock: at each millisecond given one starts (+) or stops (-), or the clock
// looks (?) and gives those whose second came. A look at 2900 is late for all three, a's new call
// at 3000 starts afresh, looks two seconds late catch up a second each.
TEST(SecondsSchedule, EachBoothCountsFromItsOwnAnswer) {
    static const char booths[] = "abc";
    const struct {
        char op, booth;
        SecondsSchedule::Millis at;
        std::string due;
    } steps[] = {{'+', 'a', 0, ""},    {'+', 'b', 500, ""},   {'?', 0, 999, ""},
                 {'?', 0, 1000, "a"},  {'?', 0, 1200, ""},    {'?', 0, 1700, "b"},
                 {'+', 'c', 1800, ""}, {'?', 0, 2900, "abc"}, {'+', 'a', 3000, ""},
                 {'-', 'b', 3000, ""}, {'?', 0, 3900, "c"},   {'?', 0, 4000, "a"},
                 {'?', 0, 6000, "ca"}, {'?', 0, 6000, "ca"},  {'?', 0, 6000, ""}};
    SecondsSchedule clock;
    for (const auto& s : steps) {
        const char* booth = booths + (s.booth ? s.booth - 'a' : 0);
        std::string due;
        if (s.op == '+') clock.Start(booth, s.at);
        if (s.op == '-') clock.Stop(booth);
        if (s.op == '?')
            for (const void* b : clock.Due(s.at)) due += *static_cast<const char*>(b);
        EXPECT_EQ(due, s.due) << s.op << s.booth << " at " << s.at;
    }
    for (const char* booth : {booths, booths + 2}) clock.Stop(booth);
    EXPECT_TRUE(clock.empty());
}

}  // namespace
}  // namespace tlx::booth
