#include "booth/calls.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <string>

namespace tlx::booth {
namespace {

// 2026-12-06 10:00:05 local, as seconds since 1899-12-30.
constexpr LocalSeconds kTenOClock = 46362LL * 86400 + 10 * 3600 + 5;

Selection All(const CallList& list) {
    return Selection(list.size(), true);
}

TEST(BoothFormats, SpansClockTimesAndCosts) {
    EXPECT_EQ(FormatSpan(0), "00:00:00");
    EXPECT_EQ(FormatSpan(65), "00:01:05");
    EXPECT_EQ(FormatSpan(32767), "09:06:07");
    EXPECT_EQ(FormatSpan(86400 + 3600 + 1), "01:00:01");  // a day-long call wraps like a clock
    EXPECT_EQ(FormatTimeOfDay(kTenOClock), "10:00:05");
    EXPECT_EQ(FormatTimeOfDay(0), "00:00:00");
    EXPECT_EQ(FormatCost(-0.0), "0.00");  // a free call, never "-0.00"
}

// Builds a list whose last call is in the named situation.
using Setup = std::function<void(CallList&)>;
struct Start {
    const char* name;
    Setup setup;
};
const Start kStarts[] = {
    {"empty", [](CallList&) {}},
    {"Dialing", [](CallList& l) { l.Dial("1", "d", "r"); }},
    {"Connected",
     [](CallList& l) {
         l.Dial("1", "d", "r");
         l.Connect(kTenOClock);
     }},
    {"NoCharge",
     [](CallList& l) {
         l.Dial("1", "d", "r");
         l.Finish(9, 9.0);
     }},
    {"Finished",
     [](CallList& l) {
         l.Dial("1", "d", "r");
         l.Connect(kTenOClock);
         l.Finish(30, 0.75);
     }},
    {"Rejected",
     [](CallList& l) {
         l.Dial("1", "d", "r");
         l.Reject();
     }},
};

struct Step {
    const char* name;
    std::function<Effect(CallList&)> run;
};
const Step kSteps[] = {
    {"CallDial", [](CallList& l) { return l.Dial("2", "d2", "r2"); }},
    {"CallConnected", [](CallList& l) { return l.Connect(kTenOClock + 60); }},
    {"CallFinished", [](CallList& l) { return l.Finish(65, 1.3); }},
    {"CallFinishedEx", [](CallList& l) { return l.FinishWithCostText("0.4"); }},
    {"CallRejected", [](CallList& l) { return l.Reject(); }},
};

// Expected (rows afterwards, state of the last row) per start and step; "-" for an empty list.
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

TEST(BoothStates, EveryMethodInEveryState) {
    for (std::size_t s = 0; s < 6; ++s) {
        for (std::size_t m = 0; m < 5; ++m) {
            CallList list;
            kStarts[s].setup(list);
            const std::vector<CallRecord> before = list.calls();
            const Effect e = kSteps[m].run(list);
            SCOPED_TRACE(std::string(kStarts[s].name) + " + " + kSteps[m].name);
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
    Effect e = list.Connect(kTenOClock);
    EXPECT_TRUE(e.start_timer);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.Tick().rows.size(), 1u);
    EXPECT_EQ(RowTextsOf(list.calls().back())[1], "00:00:03");
    e = list.Finish(2, 0.2);  // the booth's own count replaces the ticks
    EXPECT_TRUE(e.stop_timer);
    EXPECT_EQ(list.calls().back().duration, 2);
    // A tick arriving after the end must not lengthen the billed call.
    EXPECT_TRUE(list.Tick().rows.empty());
    EXPECT_EQ(list.calls().back().duration, 2);
    // A dialling call that gives up also stops the timer.
    list.Dial("2", "", "");
    EXPECT_TRUE(list.Dial("3", "", "").stop_timer);
}

TEST(BoothRows, TextsAndImagesThroughACall) {
    CallList list;
    list.Dial("0049 100%s%n", "Germany mobile", "0.25/min");
    RowTexts t = RowTextsOf(list.calls().back());
    EXPECT_EQ(t, (RowTexts{"0049 100%s%n", "Connecting", "0.00", "---", "---", "Germany mobile",
                           "0.25/min"}));
    EXPECT_EQ(RowImageOf(list.current_state()), 1);

    list.Connect(kTenOClock);
    t = RowTextsOf(list.calls().back());
    EXPECT_EQ(t[1], "00:00:00");
    EXPECT_EQ(t[3], "10:00:05");
    EXPECT_EQ(t[4], "---");
    EXPECT_EQ(RowImageOf(list.current_state()), 2);

    list.Finish(65, 1.3);
    t = RowTextsOf(list.calls().back());
    EXPECT_EQ(t, (RowTexts{"0049 100%s%n", "00:01:05", "1.30", "10:00:05", "10:01:10",
                           "Germany mobile", "0.25/min"}));
    EXPECT_EQ(RowImageOf(list.current_state()), 3);
}

TEST(BoothRows, EndingsWithoutCharge) {
    // Finished while dialling: the passed values are not read.
    CallList list;
    list.Dial("1", "", "");
    list.Finish(65, 1.3);
    EXPECT_EQ(RowTextsOf(list.calls().back()),
              (RowTexts{"1", "00:00:00", "0.00", "---", "---", "", ""}));
    EXPECT_EQ(RowImageOf(list.current_state()), 0);

    // Answered but ended with nothing to charge: still no times shown.
    list.Dial("2", "", "");
    list.Connect(kTenOClock);
    list.Finish(0, 0.0);
    EXPECT_EQ(list.current_state(), CallState::NoCharge);
    EXPECT_EQ(RowTextsOf(list.calls().back())[3], "---");

    // A cost without duration: end equals start.
    list.Dial("3", "", "");
    list.Connect(kTenOClock);
    list.Finish(0, 0.5);
    EXPECT_EQ(list.current_state(), CallState::Finished);
    EXPECT_EQ(RowTextsOf(list.calls().back())[4], "10:00:05");

    // Rejected: zero duration, no times, image 4.
    list.Dial("4", "", "");
    list.Reject();
    EXPECT_EQ(RowTextsOf(list.calls().back()),
              (RowTexts{"4", "00:00:00", "0.00", "---", "---", "", ""}));
    EXPECT_EQ(RowImageOf(list.current_state()), 4);

    // A cost given while still dialling: finished with the zero date for both times.
    list.Dial("5", "", "");
    list.FinishWithCostText("2.5");
    EXPECT_EQ(RowTextsOf(list.calls().back())[3], "00:00:00");
    EXPECT_EQ(RowTextsOf(list.calls().back())[4], "00:00:00");
    // ...and a later cost text re-bills an ended call with no duration.
    list.FinishWithCostText("0");
    EXPECT_EQ(list.current_state(), CallState::NoCharge);
}

TEST(BoothRows, LongDestinationIsCutOnlyOnScreen) {
    CallList list;
    list.Dial(std::string(300, '7'), "", "");
    list.Connect(kTenOClock);
    list.Finish(1, 1.0);
    EXPECT_EQ(RowTextsOf(list.calls().back())[0].size(), kDestinationShown);
    EXPECT_NE(list.PrintText("B", All(list))->find(std::string(300, '7')), std::string::npos);
}

TEST(BoothRows, OverlongCallsComeThroughSixteenBits) {
    // 40000 s arrive as the low 16 bits, i.e. -25536.
    CallList list;
    list.Dial("1", "", "");
    list.Connect(kTenOClock);
    list.Finish(static_cast<std::int16_t>(-25536), 3.0);
    EXPECT_EQ(list.calls().back().duration, 40000);
    EXPECT_EQ(RowTextsOf(list.calls().back())[4], FormatTimeOfDay(kTenOClock + 40000));
    EXPECT_EQ(*list.PrintText("B", All(list)), "B;1;10:00:05;21:06:45;40000;3.00;|");
}

// Oldest first: Finished 2.00, Rejected, NoCharge, Finished 0.75, Connected.
CallList MixedList() {
    CallList l;
    l.Dial("A", "", "ra");  // row 0: Finished 2.00
    l.Connect(kTenOClock);
    l.Finish(120, 2.0);
    l.Dial("B", "", "rb");  // row 1: Rejected
    l.Reject();
    l.Dial("C", "", "rc");  // row 2: NoCharge (dial replaced by the next dial)
    l.Dial("D", "", "rd");  // row 3: Finished 0.75
    l.Connect(kTenOClock + 300);
    l.Finish(45, 0.75);
    l.Dial("E", "", "re");  // row 4: Connected
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
    const auto removed = list.RemoveEnded(All(list));
    EXPECT_EQ(removed, (std::vector<std::size_t>{3, 2, 1, 0}));  // last first
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.current_state(), CallState::Connected);
    EXPECT_EQ(list.Tick().rows.size(), 1u);  // still counted

    list = MixedList();
    EXPECT_EQ(list.RemoveEnded({false, true, false, true}), (std::vector<std::size_t>{3, 1}));
    EXPECT_EQ(list.calls()[0].destination, "A");
    EXPECT_EQ(list.calls()[1].destination, "C");
    EXPECT_EQ(list.calls()[2].destination, "E");
    EXPECT_TRUE(list.RemoveEnded({}).empty());

    // A dialling call stays too.
    CallList one;
    one.Dial("1", "", "");
    EXPECT_TRUE(one.RemoveEnded({true}).empty());
    EXPECT_EQ(one.TotalText({true}, "$"), "0.00 $");
}

TEST(BoothPrint, TextOfSelectedFinishedCalls) {
    CallList list;
    list.Dial("0123", "", "1.20");
    list.Connect(kTenOClock);
    list.Finish(125, 2.5);
    EXPECT_EQ(*list.PrintText("B1", {true}), "B1;0123;10:00:05;10:02:10;125;2.50;1.20|");
    EXPECT_FALSE(list.PrintText("B1", {false}).has_value());
    EXPECT_EQ(*list.PrintText("", {true}), ";0123;10:00:05;10:02:10;125;2.50;1.20|");

    list = MixedList();
    EXPECT_FALSE(list.PrintText("B", {}).has_value());
    // Newest first; the rejected call in between adds nothing.
    EXPECT_EQ(*list.PrintText("B", {true, true, false, true}),
              "B;D;10:05:05;10:05:50;45;0.75;rd|A;10:00:05;10:02:05;120;2.00;ra|");
    for (std::size_t only : {1u, 2u, 4u}) {
        Selection s(list.size(), false);
        s[only] = true;
        EXPECT_EQ(*list.PrintText("B", s), "B;") << only;
    }
    // Printing changes nothing: the same selection gives the same text again.
    EXPECT_EQ(list.PrintText("B", All(list)), list.PrintText("B", All(list)));
    EXPECT_EQ(list.size(), 5u);
}

TEST(BoothPrint, CostOnlyCallAndLiteralTexts) {
    CallList list;
    list.Dial("100% free;x", "", "5%d");
    list.Connect(kTenOClock);
    list.Finish(0, 0.5);
    EXPECT_EQ(*list.PrintText("Booth %s", {true}),
              "Booth %s;100% free;x;10:00:05;10:00:05;0;0.50;5%d|");
}

}  // namespace
}  // namespace tlx::booth
