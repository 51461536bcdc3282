// The printed bill, line by line: which texts, in which order and format, in which rectangle
// of the page. Units are the printer's (a hundredth of an inch); the left and right margins and
// the heading's top are 20 of them. On a receipt roll (a printable width under 80 mm) every line
// stays inside the paper: see RollLines.
#pragma once

#include <string>
#include <vector>

#include "core/billing/bill.h"
#include "core/billing/report_printer.h"

namespace tlx::billing {

inline constexpr int kMargin = 20;
// Measured for the line height and for an empty company name; never printed.
inline constexpr std::string_view kLineProbe = "DEFAULT TEXTy";
inline constexpr std::string_view kCompanyProbe = "DEFAULT COMPANY NAMEy";
inline constexpr std::string_view kInvalidTime = "Invalid DateTime";
// A void's line when the PRINT labels for it are missing: "<void> <id> - <reason>: <text>".
inline constexpr std::string_view kDefaultVoidLabel = "Void of bill";
inline constexpr std::string_view kDefaultVoidReasonLabel = "Reason";

// The line a void prints under its number, naming the cancelled bill and why.
std::string VoidLine(const VoidNote& note);

// Under 80 mm of printable width the paper is a receipt roll.
bool IsRollWidth(int page_width);
// A line as a roll prints it: broken at blanks into lines at most `width` wide, a word wider
// than that cut where it must be. Never empty: an empty text is one empty line.
std::vector<std::string> RollLines(std::string_view text, int width, ReportPrinter& printer);

FontSpec BillFont();
void LayoutBill(const Bill& bill, ReportPrinter& printer);

}  // namespace tlx::billing
