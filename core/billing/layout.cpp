#include "core/billing/layout.h"

#include <cstdint>

#include "core/text/numbers.h"

namespace tlx::billing {
namespace {

constexpr int kLeftWrapped = kAlignLeft | 0x10;  // DT_WORDBREAK

std::string Money(double value) {
    return text::FormatFixed(value, 2);
}

// "%s     %.2f": a label, five blanks, an amount.
std::string Amount(std::string_view label, double value) {
    return std::string(label) + "     " + Money(value);
}

}  // namespace

std::string VoidLine(const VoidNote& note) {
    auto or_default = [](const std::string& label, std::string_view fallback) {
        return label.empty() ? std::string(fallback) : label;
    };
    return or_default(note.void_label, kDefaultVoidLabel) + " " + std::to_string(note.original_id) +
           " - " + or_default(note.reason_label, kDefaultVoidReasonLabel) + ": " + note.reason;
}

FontSpec BillFont() {
    return FontSpec{};
}

void LayoutBill(const Bill& bill, ReportPrinter& printer) {
    printer.SetFont(BillFont());
    printer.BeginDocument();
    const int width = printer.PageWidth();
    const int right = width - kMargin;
    const int text_width = width - 2 * kMargin;

    const bool has_company = !bill.company_name.empty();
    const int company_height =
        printer.MeasureText(has_company ? std::string_view(bill.company_name) : kCompanyProbe,
                            text_width, kCentreWrapped);
    int top = kMargin;
    if (has_company) {
        printer.PrintText(kMargin, kMargin, right, kMargin + company_height, bill.company_name,
                          kCentreWrapped);
        top += company_height;
    }
    const int line = printer.MeasureText(kLineProbe, text_width, kAlignCentre);
    auto print = [&](std::string_view text, int format) {
        printer.PrintText(kMargin, top, right, top + line, text, format);
        top += line;
    };
    const auto& label = bill.labels;

    if (!bill.financial_id.empty()) print(bill.financial_id, kAlignCentre);
    if (!bill.commercial_name.empty()) print(bill.commercial_name, kAlignCentre);
    print(label[kLabelIdBill] + " " + std::to_string(static_cast<std::uint32_t>(bill.id)),
          kAlignLeft);
    if (bill.voids) {
        // Up to 200 characters of reason: wrapped to the page's width rather than cut.
        const std::string text = VoidLine(*bill.voids);
        const int height = printer.MeasureText(text, text_width, kLeftWrapped);
        printer.PrintText(kMargin, top, right, top + height, text, kLeftWrapped);
        top += height;
    }
    print(bill.issued ? FormatPrinted(*bill.issued) : std::string(kInvalidTime), kAlignLeft);
    if (!bill.operator_name.empty())
        print(label[kLabelOperatorName] + bill.operator_name, kAlignLeft);
    print(label[kLabelCabinNumber] + " " + bill.cabin, kAlignLeft);
    for (const BillCall& call : bill.calls) {
        print(label[kLabelTelNr] + call.destination, kAlignLeft);
        print(call.end_time, kAlignLeft);
        print(label[kLabelCallDuration] + call.duration, kAlignLeft);
        print(Amount(label[kLabelRate], call.rate) + " " + Amount(label[kLabelCost], call.cost),
              kAlignLeft);
        print(Amount(label[kLabelTax], call.tax) + " " +
                  Amount(label[kLabelCostTax], call.cost_with_tax),
              kAlignLeft);
    }
    print(std::string(64, '-'), kAlignLeft);
    print(Amount(label[kLabelTotalCost], bill.total_cost), kAlignLeft);
    print(Amount(label[kLabelTotalTax], bill.total_tax), kAlignLeft);
    print(Amount(label[kLabelTotalCostTax], bill.total_cost_with_tax), kAlignLeft);
    print(label[kLabelMessage], kAlignCentre);
    printer.EndDocument();
    printer.FinishDocument();
}

}  // namespace tlx::billing
