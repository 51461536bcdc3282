#include "core/booth/calls.h"

#include <gtest/gtest.h>

#include <string>

namespace tlx::booth {
namespace {

// 2026-12-06 10:00:05 local, as seconds since 1899-12-30.
constexpr LocalSeconds kTenOClock = 46362LL * 86400 + 10 * 3600 + 5;

Selection All(const CallList& list) {
    return Selection(list.size(), true);
}

// One booth event: D dial, C connected, F finished, X finished with a cost text, R rejected.
Effect Apply(CallList& l, char event) {
    switch (event) {
        case 'D':
            return l.Dial("1", "d", "r");
        case 'C':
            return l.Connect(kTenOClock);
        case 'F':
            return l.Finish(65, 1.3);
        case 'X':
            return l.FinishWithCostText("0.4");
        default:
            return l.Reject();
    }
}

// The events that bring the last call into each state, and what every event then does:
// rows afterwards and the state of the last row ("-" for an empty list).
const char* const kStarts[] = {"", "D", "DC", "DF", "DCF", "DR"};
const char kEvents[] = "DCFXR";
struct Outcome {
    std::size_t rows;
    const char* last;
};
const Outcome kTable[6][5] = {
    //             Dial            Connected          Finished          FinishedEx        Rejected
    /* empty */ {{1, "Dialing"}, {0, "-"}, {0, "-"}, {0, "-"}, {0, "-"}},
    /* Dialing */
    {{2, "Dialing"}, {1, "Connected"}, {1, "NoCharge"}, {1, "Finished"}, {1, "Rejected"}},
    /* Connected */
    {{1, "Connected"}, {1, "Connected"}, {1, "Finished"}, {1, "Connected"}, {1, "Connected"}},
    /* NoCharge */
    {{2, "Dialing"}, {1, "NoCharge"}, {1, "NoCharge"}, {1, "Finished"}, {1, "NoCharge"}},
    /* Finished */
    {{2, "Dialing"}, {1, "Finished"}, {1, "Finished"}, {1, "Finished"}, {1, "Finished"}},
    /* Rejected */
    {{2, "Dialing"}, {1, "Rejected"}, {1, "Rejected"}, {1, "Finished"}, {1, "Rejected"}},
};

const char* NameOf(const CallList& l) {
    if (l.empty()) return "-";
    static const char* names[] = {"NoCharge", "Dialing", "Connected", "Finished", "Rejected"};
    return names[static_cast<int>(l.current_state())];
}

TEST(BoothStates, EveryEventInEveryState) {
    for (std::size_t s = 0; s < 6; ++s) {
        for (std::size_t m = 0; m < 5; ++m) {
            CallList list;
            for (const char* c = kStarts[s]; *c; ++c) Apply(list, *c);
            const std::vector<CallRecord> before = list.calls();
            const Effect e = Apply(list, kEvents[m]);
            SCOPED_TRACE(std::string(kStarts[s]) + " + " + kEvents[m]);
            EXPECT_EQ(list.size(), kTable[s][m].rows);
            EXPECT_STREQ(NameOf(list), kTable[s][m].last);
            const bool changed = list.size() != before.size() || e.appended || !e.rows.empty();
            // Every change of a row is reported to the window, and nothing else is.
            if (!changed) {
                ASSERT_EQ(list.size(), before.size());
                for (std::size_t i = 0; i < before.size(); ++i) {
                    EXPECT_EQ(list.calls()[i].state, before[i].state);
                    EXPECT_EQ(list.calls()[i].cost, before[i].cost);
                    EXPECT_EQ(list.calls()[i].duration, before[i].duration);
                }
                EXPECT_FALSE(e.refresh_total || e.start_timer || e.stop_timer);
            } else {
                EXPECT_TRUE(e.refresh_total);
            }
            // Earlier rows never change state once a later one exists.
            for (std::size_t i = 0; i + 1 < before.size(); ++i)
                EXPECT_EQ(list.calls()[i].state, before[i].state);
        }
    }
}

TEST(BoothStates, TimerFollowsTheAnsweredCall) {
    CallList list;
    list.Dial("1", "", "");
    EXPECT_TRUE(list.Connect(kTenOClock).start_timer);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.Tick().rows.size(), 1u);
    EXPECT_EQ(RowTextsOf(list.calls().back())[1], "00:00:03");
    EXPECT_TRUE(list.Finish(2, 0.2).stop_timer);  // the booth's own count replaces the ticks
    // A tick arriving after the end must not lengthen the billed call.
    EXPECT_TRUE(list.Tick().rows.empty());
    EXPECT_EQ(list.calls().back().duration, 2);
    // A dialling call that gives up also stops the timer.
    list.Dial("2", "", "");
    EXPECT_TRUE(list.Dial("3", "", "").stop_timer);
}

// Duration, cost, start, end and picture of the last row.
std::string Shown(const CallList& l) {
    const RowTexts t = RowTextsOf(l.calls().back());
    return t[1] + " " + t[2] + " " + t[3] + " " + t[4] + " " +
           std::to_string(RowImageOf(l.current_state()));
}

TEST(BoothRows, TextsAndPictureThroughEveryEnding) {
    CallList list;
    list.Dial("0049 100%s%n", "Germany mobile", "0.25/min");
    EXPECT_EQ(RowTextsOf(list.calls().back()),
              (RowTexts{"0049 100%s%n", "Connecting", "0.00", "---", "---", "Germany mobile",
                        "0.25/min"}));
    EXPECT_EQ(Shown(list), "Connecting 0.00 --- --- 1");
    list.Connect(kTenOClock);
    EXPECT_EQ(Shown(list), "00:00:00 0.00 10:00:05 --- 2");
    list.Finish(65, 1.3);
    EXPECT_EQ(Shown(list), "00:01:05 1.30 10:00:05 10:01:10 3");

    list.Dial("1", "", "");
    list.Finish(65, 1.3);  // never answered: the values passed are not read
    EXPECT_EQ(Shown(list), "00:00:00 0.00 --- --- 0");
    list.Dial("2", "", "");
    list.Connect(kTenOClock);
    list.Finish(0, 0.0);  // answered, but nothing to charge: no times either
    EXPECT_EQ(Shown(list), "00:00:00 0.00 --- --- 0");
    list.Dial("3", "", "");
    list.Connect(kTenOClock);
    list.Finish(0, 0.5);  // a cost without duration ends when it started
    EXPECT_EQ(Shown(list), "00:00:00 0.50 10:00:05 10:00:05 3");
    list.Dial("4", "", "");
    list.Reject();
    EXPECT_EQ(Shown(list), "00:00:00 0.00 --- --- 4");
    list.Dial("5", "", "");
    list.FinishWithCostText(" 2.5 EUR");  // a cost while dialling: the zero date for both times
    EXPECT_EQ(Shown(list), "00:00:00 2.50 00:00:00 00:00:00 3");
    list.FinishWithCostText("0");  // a later cost text re-bills the ended call
    EXPECT_EQ(Shown(list), "00:00:00 0.00 --- --- 0");
}

TEST(BoothRows, LongCallsAndDestinations) {
    // 40000 s arrive as the low 16 bits, i.e. -25536.
    CallList list;
    list.Dial(std::string(300, '7'), "", "");
    list.Connect(kTenOClock);
    list.Finish(static_cast<std::int16_t>(-25536), 3.0);
    EXPECT_EQ(list.calls().back().duration, 40000);
    // The destination is cut on screen only.
    EXPECT_EQ(RowTextsOf(list.calls().back())[0], std::string(kDestinationShown, '7'));
    EXPECT_EQ(*list.PrintText("B", All(list)),
              "B;" + std::string(300, '7') + ";10:00:05;21:06:45;40000;3.00;|");
    EXPECT_EQ(FormatSpan(86400 + 3600 + 1), "01:00:01");  // a day-long span wraps
    EXPECT_EQ(FormatCost(-0.0), "0.00");                  // a free call has no sign
}

// Oldest first: Finished 2.00, Rejected, NoCharge, Finished 0.75, Connected.
CallList MixedList() {
    CallList l;
    l.Dial("A", "", "ra");
    l.Connect(kTenOClock);
    l.Finish(120, 2.0);
    l.Dial("B", "", "rb");
    l.Reject();
    l.Dial("C", "", "rc");  // replaced by the next dial
    l.Dial("D", "", "rd");
    l.Connect(kTenOClock + 300);
    l.Finish(45, 0.75);
    l.Dial("E", "", "re");
    l.Connect(kTenOClock + 600);
    return l;
}

TEST(BoothTotal, SumsSelectedFinishedAndRejected) {
    CallList list;
    EXPECT_EQ(list.TotalText({}, "$"), "No calls");
    EXPECT_FALSE(list.CanPrint());
    list = MixedList();
    EXPECT_TRUE(list.CanPrint());
    EXPECT_EQ(list.TotalText({}, "$"), "0.00 $");
    EXPECT_EQ(list.TotalText(All(list), "EUR"), "2.75 EUR");
    EXPECT_EQ(list.TotalText({false, true, true, true}, "$"), "0.75 $");
    EXPECT_EQ(list.Total({true, false, false, false, true, true, true}), 2.0);  // extra ignored
}

TEST(BoothTotal, RemovalKeepsRunningCalls) {
    CallList list = MixedList();
    EXPECT_EQ(list.RemoveEnded(All(list)), (std::vector<std::size_t>{3, 2, 1, 0}));  // last first
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.Tick().rows.size(), 1u);  // still counted

    list = MixedList();
    EXPECT_EQ(list.RemoveEnded({false, true, false, true}), (std::vector<std::size_t>{3, 1}));
    EXPECT_EQ(list.calls()[1].destination, "C");
    EXPECT_EQ(list.calls()[2].destination, "E");
    EXPECT_TRUE(list.RemoveEnded({}).empty());

    CallList one;  // a dialling call stays too
    one.Dial("1", "", "");
    EXPECT_TRUE(one.RemoveEnded({true}).empty());
}

TEST(BoothPrint, TextOfSelectedFinishedCallsNewestFirst) {
    CallList list;
    list.Dial("100% free;x", "", "5%d");
    list.Connect(kTenOClock);
    list.Finish(0, 0.5);
    EXPECT_EQ(*list.PrintText("Booth %s", {true}),
              "Booth %s;100% free;x;10:00:05;10:00:05;0;0.50;5%d|");
    EXPECT_FALSE(list.PrintText("B1", {false}).has_value());

    list = MixedList();
    EXPECT_FALSE(list.PrintText("B", {}).has_value());
    // The rejected call in between adds nothing.
    EXPECT_EQ(*list.PrintText("B", {true, true, false, true}),
              "B;D;10:05:05;10:05:50;45;0.75;rd|A;10:00:05;10:02:05;120;2.00;ra|");
    for (std::size_t only : {1u, 2u, 4u}) {
        Selection s(list.size(), false);
        s[only] = true;
        EXPECT_EQ(*list.PrintText("B", s), "B;") << only;
    }
    EXPECT_EQ(list.size(), 5u);  // printing removes nothing
}

}  // namespace
}  // namespace tlx::booth
