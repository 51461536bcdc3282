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

// The longest start of `word` that fits; one character at least, so the line moves on.
std::size_t FittingPrefix(std::string_view word, int width, ReportPrinter& printer) {
    std::size_t n = word.size();
    while (n > 1 && printer.TextWidth(word.substr(0, n)) > width) --n;
    return n;
}

}  // namespace

bool IsRollWidth(int page_width) {
    return page_width * 254 < 80 * 1000;  // hundredths of an inch against 80 mm
}

std::vector<std::string> RollLines(std::string_view text, int width, ReportPrinter& printer) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t word_at = text.find_first_not_of(' ', at);
        if (word_at == std::string_view::npos) break;
        std::size_t end = text.find(' ', word_at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view word = text.substr(word_at, end - word_at);
        // The blanks between words stay as written ("Total     9.99") while they fit.
        std::string joined =
            line.empty() ? std::string(word) : line + std::string(text.substr(at, end - at));
        at = end;
        if (printer.TextWidth(joined) <= width) {
            line = std::move(joined);
            continue;
        }
        if (!line.empty()) lines.push_back(std::move(line));
        line.clear();
        while (printer.TextWidth(word) > width) {
            const std::size_t n = FittingPrefix(word, width, printer);
            lines.emplace_back(word.substr(0, n));
            word.remove_prefix(n);
        }
        line = std::string(word);
    }
    if (!line.empty() || lines.empty()) lines.push_back(std::move(line));
    return lines;
}

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
    // On a roll a line too wide goes on as many lines as it needs; elsewhere as it always did.
    const bool roll = IsRollWidth(width);
    auto print_fitted = [&](std::string_view text, int format) {
        if (!roll) return print(text, format);
        for (const std::string& part : RollLines(text, text_width, printer)) print(part, format);
    };
    // Two amounts side by side, or one under the other where they do not fit.
    auto print_pair = [&](const std::string& first, const std::string& second) {
        const std::string both = first + " " + second;
        if (!roll || printer.TextWidth(both) <= text_width) return print_fitted(both, kAlignLeft);
        print_fitted(first, kAlignLeft);
        print_fitted(second, kAlignLeft);
    };

    if (!bill.financial_id.empty()) print_fitted(bill.financial_id, kAlignCentre);
    if (!bill.commercial_name.empty()) print_fitted(bill.commercial_name, kAlignCentre);
    print_fitted(label[kLabelIdBill] + " " + std::to_string(static_cast<std::uint32_t>(bill.id)),
                 kAlignLeft);
    if (bill.voids && roll) {
        print_fitted(VoidLine(*bill.voids), kAlignLeft);
    } else if (bill.voids) {
        // Up to 200 characters of reason: wrapped to the page's width rather than cut.
        const std::string text = VoidLine(*bill.voids);
        const int height = printer.MeasureText(text, text_width, kLeftWrapped);
        printer.PrintText(kMargin, top, right, top + height, text, kLeftWrapped);
        top += height;
    }
    print_fitted(bill.issued ? FormatPrinted(*bill.issued) : std::string(kInvalidTime), kAlignLeft);
    if (!bill.operator_name.empty())
        print_fitted(label[kLabelOperatorName] + bill.operator_name, kAlignLeft);
    print_fitted(label[kLabelCabinNumber] + " " + bill.cabin, kAlignLeft);
    for (const BillCall& call : bill.calls) {
        print_fitted(label[kLabelTelNr] + call.destination, kAlignLeft);
        print_fitted(call.end_time, kAlignLeft);
        print_fitted(label[kLabelCallDuration] + call.duration, kAlignLeft);
        print_pair(Amount(label[kLabelRate], call.rate), Amount(label[kLabelCost], call.cost));
        print_pair(Amount(label[kLabelTax], call.tax),
                   Amount(label[kLabelCostTax], call.cost_with_tax));
    }
    std::string rule(64, '-');
    while (roll && rule.size() > 1 && printer.TextWidth(rule) > text_width) rule.pop_back();
    print(rule, kAlignLeft);
    print_fitted(Amount(label[kLabelTotalCost], bill.total_cost), kAlignLeft);
    print_fitted(Amount(label[kLabelTotalTax], bill.total_tax), kAlignLeft);
    print_fitted(Amount(label[kLabelTotalCostTax], bill.total_cost_with_tax), kAlignLeft);
    print_fitted(label[kLabelMessage], kAlignCentre);
    printer.EndDocument();
    printer.FinishDocument();
}

}  // namespace tlx::billing
