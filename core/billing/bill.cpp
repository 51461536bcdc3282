#include "core/billing/bill.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "core/booth/print_text.h"
#include "core/text/numbers.h"

namespace tlx::billing {

std::string FormatPrinted(const LocalTime& t) {
    char out[64];
    std::snprintf(out, sizeof out, "%02d/%02d/%02d %02d:%02d:%02d", t.day, t.month,
                  ((t.year % 100) + 100) % 100, t.hour, t.minute, t.second);
    return out;
}

std::string FormatStored(const LocalTime& t) {
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return out;
}

std::optional<LocalTime> ParseStored(std::string_view text) {
    // Exactly "YYYY-MM-DD HH:MM:SS"; the store also accepts a 'T' between date and time.
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t length, int& out) {
        const char* first = text.data() + at;
        const auto [end, ec] = std::from_chars(first, first + length, out);
        return ec == std::errc() && end == first + length && first[0] != '-' && first[0] != '+';
    };
    LocalTime t;
    if (!number(0, 4, t.year) || !number(5, 2, t.month) || !number(8, 2, t.day) ||
        !number(11, 2, t.hour) || !number(14, 2, t.minute) || !number(17, 2, t.second)) {
        return std::nullopt;
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > kDays[t.month - 1] - (t.month == 2 && !leap ? 1 : 0) || t.hour > 23 ||
        t.minute > 59 || t.second > 59) {
        return std::nullopt;
    }
    return t;
}

double ReadShopNumber(std::string_view text) {
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), ',', '.');
    return text::AtofC(copy);
}

double TaxRateOf(std::string_view tax_setting) {
    return ReadShopNumber(tax_setting) * 0.01;
}

void ComposeCalls(std::string_view text, double tax_rate, Bill& bill) {
    bill.calls.assign(
        static_cast<std::size_t>(std::count(text.begin(), text.end(), booth::kCallEnd)),
        BillCall{});
    bill.total_cost = bill.total_cost_with_tax = bill.total_tax = 0.0;
    std::size_t filled = 0;
    for (const std::string_view piece : booth::CallPieces(text)) {
        if (filled == bill.calls.size()) break;
        BillCall& call = bill.calls[filled++];
        // Take reads a field and leaves it; Drop moves on. A short record runs out of ";" and
        // then keeps reading what is left, as the booth's counterpart always did.
        booth::FieldReader fields(piece);
        call.destination = fields.Take();
        fields.Drop();
        fields.Drop();  // the start time is not kept
        call.end_time = fields.Take();
        fields.Drop();
        call.duration = fields.Take();
        fields.Drop();
        call.cost = ReadShopNumber(fields.Take());
        fields.Drop();
        call.rate = ReadShopNumber(fields.Rest());
        call.cost_with_tax = (tax_rate + 1.0) * call.cost;
        call.tax = call.cost_with_tax - call.cost;
        bill.total_cost += call.cost;
        bill.total_cost_with_tax += call.cost_with_tax;
        bill.total_tax += call.tax;
    }
}

NewBillPlan ComposeBill(std::string_view print_text, std::string operator_name,
                        const LocalTime& now, double tax_rate) {
    NewBillPlan plan;
    plan.bill.operator_name = std::move(operator_name);
    plan.bill.issued = now;
    if (print_text.empty()) return plan;
    plan.store = true;
    std::string_view calls = print_text;
    if (const auto semicolon = print_text.find(booth::kFieldSeparator);
        semicolon != std::string_view::npos) {
        plan.bill.cabin = std::string(print_text.substr(0, semicolon));
        calls = print_text.substr(semicolon + 1);
    }
    ComposeCalls(calls, tax_rate, plan.bill);
    return plan;
}

}  // namespace tlx::billing
