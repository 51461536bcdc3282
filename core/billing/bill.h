// One bill in memory, and how a booth's print request becomes one: the calls it carries, the
// tax of every call and the totals. Amounts keep full double precision here; they are rounded
// to two decimals only where they are written out (the store, the printed lines).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::billing {

// A local date and time to the second; std::nullopt in a Bill means "not a valid date".
struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// "%d/%m/%y %H:%M:%S", as the bill prints its issue time.
std::string FormatPrinted(const LocalTime& t);
// "YYYY-MM-DD HH:MM:SS", as the store keeps it: sorts as text in time order.
std::string FormatStored(const LocalTime& t);
// The stored form read back; std::nullopt for anything that is not a real date and time.
std::optional<LocalTime> ParseStored(std::string_view text);

// The print labels, in the bill's order (the settings' PRINT labels in that order).
enum Label : std::size_t {
    kLabelIdBill,
    kLabelOperatorName,
    kLabelCabinNumber,
    kLabelTelNr,
    kLabelRate,
    kLabelTax,
    kLabelCost,
    kLabelCostTax,
    kLabelTotalCost,
    kLabelTotalTax,
    kLabelTotalCostTax,
    kLabelMessage,
    kLabelCallDuration,
    kLabelCount
};

struct BillCall {
    std::string destination;
    std::string end_time;  // as the booth wrote it, "%H:%M:%S"
    std::string duration;  // seconds, as the booth wrote them
    double cost = 0.0;
    double cost_with_tax = 0.0;
    double rate = 0.0;
    double tax = 0.0;
};

// What a void cancels, printed on it as one line; every other bill has none.
struct VoidNote {
    std::int64_t original_id = 0;
    std::string reason;
    // The settings' PRINT labels (filled when printed); empty ones print English defaults.
    std::string void_label, reason_label;
};

struct Bill {
    std::array<std::string, kLabelCount> labels;  // filled when the bill is printed
    std::string company_name, financial_id, commercial_name;
    std::string operator_name;
    std::string cabin;    // the booth's name as the booth shows it
    std::int32_t id = 0;  // 0 until the store gave it one
    double total_cost = 0.0;
    double total_cost_with_tax = 0.0;
    double total_tax = 0.0;
    std::optional<LocalTime> issued;
    std::vector<BillCall> calls;
    std::optional<VoidNote> voids;  // set on a void only
};

// A number as the shop writes it: a decimal comma counts as a point, then the C library's
// atof rules (leading blanks, sign, digits, exponent; the longest valid prefix; else 0).
double ReadShopNumber(std::string_view text);
// The tax setting (percent, e.g. "20", "7,5", "18%") as a fraction.
double TaxRateOf(std::string_view tax_setting);

// The calls of a print text whose booth name is already taken off: one entry per "|", filled
// from the non-empty "|"-pieces in order. Entries no piece reached stay empty with zero
// amounts; pieces beyond the entries are left out. Sets the calls and the three totals.
void ComposeCalls(std::string_view text, double tax_rate, Bill& bill);

// A new bill from a booth's print text. `store` is false for an empty text: that bill is
// printed but not stored.
struct NewBillPlan {
    Bill bill;
    bool store = false;
};
NewBillPlan ComposeBill(std::string_view print_text, std::string operator_name,
                        const LocalTime& now, double tax_rate);

}  // namespace tlx::billing
