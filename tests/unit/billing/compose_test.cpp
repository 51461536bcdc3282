// A booth's print text into a bill: the calls, their taxes and the totals.
#include <gtest/gtest.h>

#include <tuple>

#include "core/billing/bill.h"
#include "core/text/numbers.h"

namespace tlx::billing {
namespace {

const LocalTime kNow{2026, 12, 7, 9, 5, 3};

std::string Money(double v) {
    return text::FormatFixed(v, 2);
}

TEST(Compose, TaxRateFromTheSetting) {
    struct Case {
        const char* setting;
        double rate;
    };
    for (const Case& c :
         {Case{"20", 0.2}, Case{"7,5", 0.075}, Case{"18%", 0.18}, Case{"", 0.0}, Case{" 1e1", 0.1}})
        EXPECT_DOUBLE_EQ(TaxRateOf(c.setting), c.rate) << c.setting;
}

TEST(Compose, WorkedExamplesKeepFullPrecision) {
    NewBillPlan p = ComposeBill("B1;0123;10:00:05;10:02:10;125;1.00;1.20|", "Anna", kNow, 0.2);
    ASSERT_TRUE(p.store);
    ASSERT_EQ(p.bill.calls.size(), 1u);
    const BillCall& c = p.bill.calls[0];
    EXPECT_EQ(std::tie(p.bill.cabin, p.bill.operator_name, c.destination, c.end_time, c.duration),
              std::tuple("B1", "Anna", "0123", "10:02:10", "125"));
    EXPECT_DOUBLE_EQ(c.rate, 1.2);
    EXPECT_EQ(c.tax, 1.2 - 1.0);  // 0.19999999999999996, not rounded
    EXPECT_EQ(Money(c.tax), "0.20");

    p = ComposeBill("B;x;a;b;1;2,40;0.25/min|y;a;b;2;1,50;1|", "", kNow, TaxRateOf("7,5"));
    ASSERT_EQ(p.bill.calls.size(), 2u);
    EXPECT_EQ(Money(p.bill.calls[0].cost_with_tax), "2.58");
    EXPECT_EQ(Money(p.bill.calls[0].tax), "0.18");
    EXPECT_DOUBLE_EQ(p.bill.calls[0].rate, 0.25);
    EXPECT_DOUBLE_EQ(p.bill.calls[1].cost, 1.5);
    EXPECT_EQ(p.bill.calls[1].destination, "y");
    EXPECT_DOUBLE_EQ(p.bill.total_cost, 2.4 + 1.5);
    EXPECT_DOUBLE_EQ(p.bill.total_tax, p.bill.calls[0].tax + p.bill.calls[1].tax);
    EXPECT_DOUBLE_EQ(p.bill.total_cost_with_tax, (2.4 + 1.5) * 1.075);
}

TEST(Compose, OddTexts) {
    struct Case {
        const char* text;
        bool store;
        const char* cabin;
        std::size_t calls;
        const char* first_destination;
        double total;
    };
    for (const Case& c : {
             Case{"", false, "", 0, nullptr, 0},        // printed, not stored
             Case{"Bar;", true, "Bar", 0, nullptr, 0},  // a name alone
             Case{"x|", true, "", 1, "", 0},            // no ";": no booth name, all calls
             Case{"B;0123;s;e;5;1.00;1", true, "B", 0, nullptr, 0},  // no "|": no entry
             Case{"B;||a;s;e;5;2.00;1|", true, "B", 3, "a", 2.0},    // entries nobody filled
             Case{"B;a;s;e;5;1;1|b;s;e;5;2;1|c;s;e;5;4;1", true, "B", 2, "a", 3.0},
             Case{"B;a;s|", true, "B", 1, "a", 0},  // a short record reads what is left
         }) {
        NewBillPlan p = ComposeBill(c.text, "", kNow, 0.1);
        EXPECT_EQ(p.store, c.store) << c.text;
        EXPECT_EQ(p.bill.cabin, c.cabin) << c.text;
        ASSERT_EQ(p.bill.calls.size(), c.calls) << c.text;
        if (c.first_destination) {
            EXPECT_EQ(p.bill.calls[0].destination, c.first_destination);
        }
        EXPECT_DOUBLE_EQ(p.bill.total_cost, c.total) << c.text;
        for (std::size_t i = 1; i < p.bill.calls.size() && c.calls == 3; ++i) {
            EXPECT_EQ(p.bill.calls[i].destination, "");  // unfilled: empty, zero amounts
            EXPECT_EQ(p.bill.calls[i].cost_with_tax, 0.0);
        }
    }
}

TEST(Compose, StoredDatesReadBackOrNot) {
    EXPECT_EQ(FormatStored(kNow), "2026-12-07 09:05:03");
    EXPECT_EQ(FormatPrinted(kNow), "07/12/26 09:05:03");
    EXPECT_EQ(ParseStored(FormatStored(kNow)), kNow);
    for (const char* bad : {"", "2026-02-30 10:00:00", "07/12/26 09:05:03", "2026-12-07 24:00:00",
                            "2026-13-01 00:00:00", "20x6-12-07 09:05:03"})
        EXPECT_FALSE(ParseStored(bad)) << bad;
}

}  // namespace
}  // namespace tlx::billing
