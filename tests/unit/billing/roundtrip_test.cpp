// A bill with two calls and accented text from the booth's print text to the store and back to
// the printer: every column written where it belongs, every field read back, the reprint the
// same as the first print. And the stored issue times the reprint accepts.
#include <gtest/gtest.h>

#include <tuple>

#include "core/billing/bills_view.h"
#include "core/billing/layout.h"
#include "tests/unit/billing/recording_printer.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

// Code page 1252 <-> UTF-8 for the few letters these bills hold: é, ü and €.
std::string Convert(std::string_view in, bool to_utf8) {
    using Letter = std::pair<std::string_view, std::string_view>;
    std::string out(in);
    for (auto [from, to] :
         {Letter{"\xE9", "\xC3\xA9"}, Letter{"\xFC", "\xC3\xBC"}, Letter{"\x80", "\xE2\x82\xAC"}}) {
        if (!to_utf8) std::swap(from, to);
        for (auto at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
            out.replace(at, from.size(), to);
    }
    return out;
}
const TextCodec kCp1252{[](std::string_view in) { return Convert(in, true); },
                        [](std::string_view in) { return Convert(in, false); }};

std::vector<std::string> Printed(Bill bill) {
    for (std::size_t i = 0; i < kLabelCount; ++i)
        bill.labels[i] = std::string("L").append(std::to_string(i)).append(":");
    RecordingPrinter printer;
    LayoutBill(bill, printer);
    return printer.texts;
}

using RoundTrip = TempStore;

// Every amount differs from every other, so two swapped columns or fields cannot pass.
TEST_F(RoundTrip, EveryColumnAndFieldOfABillWithTwoCalls) {
    Sql("insert into sqlite_sequence values('bills', 40)", true);
    BillsStore store(kCp1252);
    ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
    NewBillPlan plan = ComposeBill(
        "B\xFCro 1;Caf\xE9 "
        "\x80;10:00:05;10:02:10;125;2,40;0.25|0044;11:00:00;11:01:30;90;1.50;0.90|",
        "Ren\xE9"
        "e",
        LocalTime{2024, 2, 29, 23, 59, 58}, 0.2);
    ASSERT_TRUE(plan.store);
    store.StoreBill(plan.bill, reporter_);
    EXPECT_TRUE(reports_.empty());
    ASSERT_EQ(plan.bill.id, 41);

    // Texts in the store are UTF-8: é = C3A9, ü = C3BC, € = E282AC.
    EXPECT_EQ(Sql("select id_bill, issued_date, hex(operator), hex(cabin_number), total_cost, "
                  "total_taxes, total_cost_taxes from bills"),
              "41|2024-02-29 23:59:58|52656EC3A965|42C3BC726F2031|3.9|0.78|4.68\n");
    EXPECT_EQ(Sql("select id_call, id_bill, hex(destination), end_date, duration, rate, "
                  "call_taxes, call_cost, call_cost_taxes from calls order by id_call"),
              "1|41|436166C3A920E282AC|10:02:10|125|0.25|0.48|2.4|2.88\n"
              "2|41|30303434|11:01:30|90|0.9|0.3|1.5|1.8\n");

    ASSERT_TRUE(store.OpenBills() && store.OpenCalls(41));
    const Bill back = StoredBill(store.bills(), store.calls());
    EXPECT_EQ(std::tie(back.id, back.issued, back.operator_name, back.cabin, back.total_cost,
                       back.total_tax, back.total_cost_with_tax),
              std::tuple(41, std::optional(LocalTime{2024, 2, 29, 23, 59, 58}),
                         "Ren\xE9"
                         "e",
                         "B\xFCro 1", 3.9, 0.78, 4.68));
    // destination, end time, duration, cost, cost incl. tax, rate, tax
    const BillCall calls[] = {{"Caf\xE9 \x80", "10:02:10", "125", 2.4, 2.88, 0.25, 0.48},
                              {"0044", "11:01:30", "90", 1.5, 1.8, 0.9, 0.3}};
    const auto all = [](const BillCall& c) {
        return std::tie(c.destination, c.end_time, c.duration, c.cost, c.cost_with_tax, c.rate,
                        c.tax);
    };
    ASSERT_EQ(back.calls.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(all(back.calls[i]), all(calls[i])) << i;

    // The reprint is the first print again, accents in the console's code page.
    const auto first = Printed(plan.bill), again = Printed(back);
    EXPECT_EQ(again, first);
    ASSERT_GE(again.size(), 6u);
    EXPECT_EQ(again[1], "29/02/24 23:59:58");
    EXPECT_EQ(again[2],
              "L1:Ren\xE9"
              "e");
    EXPECT_EQ(again[3], "L2: B\xFCro 1");
    EXPECT_EQ(again[4], "L3:Caf\xE9 \x80");
}

// Issue times another program may have written: the reprint takes real dates only, with a
// blank or a 'T' between date and time.
TEST(StoredTime, LeapYearsAndTheTSeparator) {
    struct Case {
        const char* text;
        std::optional<LocalTime> time;
    };
    const auto at = [](int y, int mo, int d, int h = 0) { return LocalTime{y, mo, d, h, 0, 0}; };
    for (const Case& c : {
             Case{"2024-02-29 10:00:00", at(2024, 2, 29, 10)},
             Case{"2000-02-29 00:00:00", at(2000, 2, 29)},
             Case{"2023-02-28 00:00:00", at(2023, 2, 28)},
             Case{"2024-02-29T10:00:00", at(2024, 2, 29, 10)},
             Case{"2023-02-29 10:00:00", {}},
             Case{"1900-02-29 00:00:00", {}},
             Case{"2100-02-29 00:00:00", {}},
             Case{"2024-04-31 00:00:00", {}},
             Case{"2024-02-29t10:00:00", {}},
             Case{"2024-02-29T10:00", {}},
             Case{"2024-02-29T10:00:00Z", {}},
             Case{"2024-02-29 -1:00:00", {}},
         }) {
        EXPECT_EQ(AsTime(Value{Value::Kind::kText, 0, 0, c.text}), c.time) << c.text;
    }
}

}  // namespace
}  // namespace tlx::billing
