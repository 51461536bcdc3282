// The printed bill against a recording printer: texts, formats and rectangles.
#include "core/billing/layout.h"

#include <gtest/gtest.h>

#include "core/console/settings_keys.h"
#include "tests/unit/billing/recording_printer.h"

namespace tlx::billing {
namespace {

Bill SampleBill() {
    Bill b;
    for (std::size_t i = 0; i < kLabelCount; ++i)
        b.labels[i] = std::string(console::settings::kBillLabels[i].key) + ":";
    b.financial_id = "VAT 123";
    b.operator_name = "Anna";
    b.cabin = "B1";
    b.id = 40000;
    b.issued = LocalTime{2026, 1, 2, 3, 4, 5};
    b.calls.push_back({"0123", "10:02:10", "125", 2.5, 3.0, 1.2, 0.5});
    b.total_cost = 12.5;
    b.total_tax = 0.19999999999999996;
    b.total_cost_with_tax = 12.7;
    return b;
}

TEST(Layout, LinesInOrderWithTheirSpacing) {
    RecordingPrinter printer;
    LayoutBill(SampleBill(), printer);
    EXPECT_EQ(
        printer.texts,
        (std::vector<std::string>{
            "VAT 123", "LBL_ID_BILL: 40000", "02/01/26 03:04:05", "LBL_OPERATOR_NAME:Anna",
            "LBL_CABIN_NUMBER: B1", "LBL_TEL_NR:0123", "10:02:10", "LBL_CALL_DURATION:125",
            "LBL_RATE:     1.20 LBL_COST:     2.50", "LBL_TAX:     0.50 LBL_COST_TAX:     3.00",
            std::string(64, '-'), "LBL_TOTAL_COST:     12.50", "LBL_TOTAL_TAX:     0.20",
            "LBL_TOTAL_COST_TAX:     12.70", "LBL_MESSAGE:"}));
    // No company: nothing drawn for it; the first line starts at the margin.
    EXPECT_EQ(printer.calls[4], "PrintText 20,20,780,30 1 [VAT 123]");
    EXPECT_EQ(printer.calls[5], "PrintText 20,30,780,40 0 [LBL_ID_BILL: 40000]");
}

TEST(Layout, CompanyBlockSkippedLinesAndNoCalls) {
    Bill b = SampleBill();
    b.company_name = std::string(150, 'C');  // three wrapped lines of 60 characters
    b.operator_name.clear();
    b.financial_id.clear();
    b.issued.reset();
    b.calls.clear();
    RecordingPrinter printer;
    LayoutBill(b, printer);
    EXPECT_EQ(printer.calls[3], "PrintText 20,20,780,50 17 [" + b.company_name + "]");
    EXPECT_EQ(printer.calls[5], "PrintText 20,50,780,60 0 [LBL_ID_BILL: 40000]");
    EXPECT_EQ(printer.texts[2], "Invalid DateTime");
    EXPECT_EQ(printer.texts[3], "LBL_CABIN_NUMBER: B1");  // no operator line
    EXPECT_EQ(printer.texts[4], std::string(64, '-'));    // no calls
    EXPECT_EQ(printer.texts.size(), 9u);
}

// A void prints the bill's lines with one more under its number; only a void has it.
TEST(Layout, VoidLineUnderTheNumberWithLabelsOrDefaults) {
    RecordingPrinter plain;
    LayoutBill(SampleBill(), plain);

    Bill v = SampleBill();
    v.voids = VoidNote{39999, std::string(130, 'w'), "LBL_VOID", "LBL_VOID_REASON"};
    RecordingPrinter printer;
    LayoutBill(v, printer);
    const std::string line = "LBL_VOID 39999 - LBL_VOID_REASON: " + v.voids->reason;
    std::vector<std::string> expected = plain.texts;
    expected.insert(expected.begin() + 2, line);
    EXPECT_EQ(printer.texts, expected);
    // Wrapped left, three lines high (164 characters), and the next line below it.
    EXPECT_EQ(printer.calls[7], "PrintText 20,40,780,70 16 [" + line + "]");
    EXPECT_EQ(printer.calls[8], "PrintText 20,70,780,80 0 [02/01/26 03:04:05]");

    v.voids = VoidNote{7, "wrong booth", "", ""};  // labels missing from the settings
    EXPECT_EQ(VoidLine(*v.voids), "Void of bill 7 - Reason: wrong booth");
}

}  // namespace
}  // namespace tlx::billing
