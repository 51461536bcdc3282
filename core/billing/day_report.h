// The X and Z reports on paper and for scripts: the same lines for the printer and the store's
// tool, worded by the settings' REPORTS keys (English when a key is missing), and JSON.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/day_close.h"
#include "core/billing/report_printer.h"

namespace tlx::billing {

// The report's words, in the order of the settings' REPORTS keys.
enum ReportWord : std::size_t {
    kWordXTitle,
    kWordZTitle,
    kWordPeriod,
    kWordBills,
    kWordVoids,
    kWordTotalCost,
    kWordTotalTax,
    kWordTotalWithTax,
    kWordRate,
    kWordNoCalls,
    kWordVoidTotal,
    kWordNetTotal,
    kWordOpeningFloat,
    kWordExpectedCash,
    kWordCountedCash,
    kWordDifference,
    kWordNote,
    kWordOperator,
    kWordNextFloat,
    kWordSeal,
    kReportWordCount
};
inline constexpr std::array<std::string_view, kReportWordCount> kDefaultReportWords = {
    "X report",
    "Z report - day close",
    "Period",
    "Bills",
    "Voids",
    "Total cost",
    "Total taxes",
    "Total cost incl. taxes",
    "Tax rate",
    "No calls",
    "Voids total",
    "Net total",
    "Opening float",
    "Expected cash",
    "Counted cash",
    "Difference",
    "Note",
    "Operator",
    "Next opening float",
    "Seal"};

struct ReportWords {
    std::array<std::string, kReportWordCount> words;  // empty ones read as the defaults
    std::string company_name;                         // printed on top when given
    std::string_view operator[](ReportWord w) const {
        return words[w].empty() ? kDefaultReportWords[w] : std::string_view(words[w]);
    }
};

// The X report's lines (the figures as they stand), and a Z record's. Times as the bill
// prints them; amounts with two decimals.
std::vector<std::string> XReportLines(const DayFigures& figures, const ReportWords& words);
std::vector<std::string> ZReportLines(const DayClose& close, const ReportWords& words);
// The lines on the report printer: the company and the title centred, the rest left.
void LayoutReport(const std::vector<std::string>& lines, bool company_line, ReportPrinter& printer);

// JSON for scripts: amounts in cents, times and texts as stored (UTF-8).
std::string FiguresJson(const DayFigures& figures);
std::string CloseJson(const DayClose& close);

}  // namespace tlx::billing
