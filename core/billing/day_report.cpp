#include "core/billing/day_report.h"

#include "core/billing/bill.h"
#include "core/billing/layout.h"

namespace tlx::billing {
namespace {

// A stored time as the bill prints it; as stored when it is not one.
std::string Printed(const std::string& stored) {
    const auto t = ParseStored(stored);
    return t ? FormatPrinted(*t) : stored;
}

// "%s     %s", as the bill sets its amounts.
std::string Amount(std::string_view label, Cents cents) {
    return std::string(label) + "     " + FormatCents(cents);
}

std::string Signed(Cents cents) {
    std::string out = cents > 0 ? "+" : "";
    return out += FormatCents(cents);
}

void FigureLines(const DayFigures& f, const ReportWords& w, std::vector<std::string>& out) {
    out.push_back(std::string(w[kWordPeriod]) + ": " + Printed(f.start) + " - " + Printed(f.end));
    std::string bills = std::string(w[kWordBills]) + ": " + std::to_string(f.bills);
    if (f.first_bill != 0) {
        bills += " (" + std::to_string(f.first_bill) + " - " + std::to_string(f.last_bill) + ")";
    }
    out.push_back(bills);
    out.push_back(std::string(w[kWordVoids]) + ": " + std::to_string(f.voids));
    out.push_back(Amount(w[kWordTotalCost], f.total_cost));
    out.push_back(Amount(w[kWordTotalTax], f.total_tax));
    out.push_back(Amount(w[kWordTotalWithTax], f.total_with_tax));
    for (const RateFigures& r : f.rates) {
        const std::string head =
            r.hundredths ? std::string(w[kWordRate]) + " " + FormatCents(*r.hundredths) + " %"
                         : std::string(w[kWordNoCalls]);
        out.push_back(head + ": " + FormatCents(r.cost) + " + " + FormatCents(r.tax) + " = " +
                      FormatCents(r.with_tax));
    }
    out.push_back(Amount(w[kWordVoidTotal], f.void_total));
    out.push_back(Amount(w[kWordNetTotal], f.net_total));
    out.push_back(Amount(w[kWordOpeningFloat], f.opening_float));
    out.push_back(Amount(w[kWordExpectedCash], f.expected_cash));
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FieldsOf(const DayFigures& f) {
    auto n = [](std::string_view name, std::int64_t v) {
        return Quoted(name) + ":" + std::to_string(v) + ",";
    };
    std::string json =
        Quoted("start") + ":" + Quoted(f.start) + "," + Quoted("end") + ":" + Quoted(f.end) + "," +
        n("after_bill", f.after_bill) + n("first_bill", f.first_bill) +
        n("last_bill", f.last_bill) + n("bills", f.bills) + n("voids", f.voids) +
        n("total_cost_cents", f.total_cost) + n("total_taxes_cents", f.total_tax) +
        n("total_cost_taxes_cents", f.total_with_tax) + n("voids_total_cents", f.void_total) +
        n("net_total_cents", f.net_total) + n("opening_float_cents", f.opening_float) +
        n("expected_cash_cents", f.expected_cash) + Quoted("rates") + ":[";
    for (std::size_t i = 0; i < f.rates.size(); ++i) {
        const RateFigures& r = f.rates[i];
        json += std::string(i ? "," : "") + "{" + Quoted("rate_hundredths") + ":" +
                (r.hundredths ? std::to_string(*r.hundredths) : "null") + "," +
                n("cost_cents", r.cost) + n("taxes_cents", r.tax) + Quoted("cost_taxes_cents") +
                ":" + std::to_string(r.with_tax) + "}";
    }
    return json + "]";
}

}  // namespace

std::vector<std::string> XReportLines(const DayFigures& figures, const ReportWords& words) {
    std::vector<std::string> out;
    if (!words.company_name.empty()) out.push_back(words.company_name);
    out.emplace_back(words[kWordXTitle]);
    FigureLines(figures, words, out);
    return out;
}

std::vector<std::string> ZReportLines(const DayClose& z, const ReportWords& words) {
    std::vector<std::string> out;
    if (!words.company_name.empty()) out.push_back(words.company_name);
    out.push_back(std::string(words[kWordZTitle]) + " " + std::to_string(z.number));
    out.push_back(std::string(words[kWordOperator]) + ": " + z.operator_name);
    FigureLines(z.figures, words, out);
    out.push_back(Amount(words[kWordCountedCash], z.counted_cash));
    out.push_back(std::string(words[kWordDifference]) + "     " + Signed(z.difference));
    if (!z.note.empty()) out.push_back(std::string(words[kWordNote]) + ": " + z.note);
    out.push_back(Amount(words[kWordNextFloat], z.next_float));
    out.push_back(std::string(words[kWordSeal]) + ": " + Hex(z.seal).substr(0, 16));
    return out;
}

void LayoutReport(const std::vector<std::string>& lines, bool company_line,
                  ReportPrinter& printer) {
    printer.SetFont(BillFont());
    printer.BeginDocument();
    const int width = printer.PageWidth();
    const int text_width = width - 2 * kMargin;
    int top = kMargin;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The company and the title centred; a long note wraps rather than being cut.
        const bool centred = i < (company_line ? 2u : 1u);
        const int format = centred ? kCentreWrapped : (kAlignLeft | 0x10);
        const int height =
            printer.MeasureText(lines[i].empty() ? kLineProbe : lines[i], text_width, format);
        printer.PrintText(kMargin, top, width - kMargin, top + height, lines[i], format);
        top += height;
    }
    printer.EndDocument();
    printer.FinishDocument();
}

std::string FiguresJson(const DayFigures& figures) {
    std::string json = "{";
    return json += Quoted("report") + ":" + Quoted("X") + "," + FieldsOf(figures) + "}\n";
}

std::string CloseJson(const DayClose& z) {
    std::string json = "{";
    return json += Quoted("report") + ":" + Quoted("Z") + "," + Quoted("number") + ":" +
                   std::to_string(z.number) + "," + Quoted("operator") + ":" +
                   Quoted(z.operator_name) + "," + Quoted("counted_cash_cents") + ":" +
                   std::to_string(z.counted_cash) + "," + Quoted("difference_cents") + ":" +
                   std::to_string(z.difference) + "," + Quoted("note") + ":" + Quoted(z.note) +
                   "," + Quoted("next_float_cents") + ":" + std::to_string(z.next_float) + "," +
                   Quoted("seal") + ":" + Quoted(Hex(z.seal)) + "," + FieldsOf(z.figures) + "}\n";
}

}  // namespace tlx::billing
