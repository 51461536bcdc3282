#include "core/booth/seconds.h"

#include <gtest/gtest.h>

#include <string>

namespace tlx::booth {
namespace {

// Booths a, b and c on one clock: each step starts (+), stops (-) or looks (?) at a time in
// milliseconds; a look gives the booths whose second came, in the order they were started.
TEST(SecondsSchedule, EachBoothCountsFromItsOwnAnswer) {
    const char a = 'a', b = 'b', c = 'c';
    const auto name = [&](const void* p) { return *static_cast<const char*>(p); };
    struct Step {
        char op;
        const char* booth;
        SecondsSchedule::Millis at;
        std::string due;
    };
    const Step steps[] = {
        {'+', &a, 0, ""},
        {'+', &b, 500, ""},
        {'?', nullptr, 999, ""},
        {'?', nullptr, 1000, "a"},  // a's first second, b's still to come
        {'?', nullptr, 1200, ""},
        {'?', nullptr, 1700, "b"},
        {'+', &c, 1800, ""},
        {'?', nullptr, 2900, "abc"},  // looked late: all at once
        {'+', &a, 3000, ""},          // a new call: a starts afresh
        {'-', &b, 3000, ""},
        {'?', nullptr, 3900, "c"},
        {'?', nullptr, 4000, "a"},
        {'?', nullptr, 6000, "ca"},  // two seconds late: one now, one at the next look
        {'?', nullptr, 6000, "ca"},
        {'?', nullptr, 6000, ""},
    };
    SecondsSchedule clock;
    for (const Step& s : steps) {
        std::string got;
        if (s.op == '+') clock.Start(s.booth, s.at);
        if (s.op == '-') clock.Stop(s.booth);
        if (s.op == '?')
            for (const void* booth : clock.Due(s.at)) got += name(booth);
        EXPECT_EQ(got, s.due) << s.op << " at " << s.at;
    }
    clock.Stop(&a);
    clock.Stop(&c);
    EXPECT_TRUE(clock.empty());
}

}  // namespace
}  // namespace tlx::booth
