// The bills store's tables, column by column: the one place a column's name is written. The
// schema billsdb creates and the upgrade adds, the store's checks, the statements, the bills
// page's grids and the reprint all read these tables. A new table is a column enum, a column
// array and a StoreTable, with the edition of the store that brings it, added to kStoreTables.
//
// How values are kept: issued_date is local time written as 'YYYY-MM-DD HH:MM:SS' (SQLite's
// own date-time text), so it sorts in time order as text; end_date is the call's end time as
// the booth wrote it, 'HH:MM:SS'. Amounts are stored rounded to two decimals. id_bill and
// id_call are given by the store and never reused. A call belongs to the bill whose id_bill it
// carries; calls of a bill whose own row could not be written carry 0.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::billing {

// How the bills page shows a stored field: keys as whole numbers, issue times as the
// operator's date and time, amounts with two decimals, the rest as text.
enum class FieldKind { kKey, kTime, kAmount, kText };

inline constexpr std::string_view kStoreKey = "INTEGER PRIMARY KEY AUTOINCREMENT";

struct Column {
    std::string_view name;
    std::string_view type;  // as the table's CREATE statement declares it
    FieldKind kind = FieldKind::kText;
    // The bills page's grid, in the table's order: the caption, shown or hidden, and the width
    // in grid units (horizontal dialog units of the page).
    std::string_view caption = {};
    bool shown = false;
    int width = 0;
    // The bill's insert statement has always had a blank before this column; the statements
    // stay byte for byte as they were.
    bool blank_in_insert = false;
};

struct StoreTable {
    std::string_view name;
    // In the table's order; the first is the row's key (store_edition's: its one value).
    std::span<const Column> columns;
    std::string_view index = {};  // an index on the column `indexed`, if named
    std::size_t indexed = 0;
    // The store's edition that brings the table: 1 for the tables other programs read, later
    // ones beside them (ledger.h). Made with a row that records its edition, if `edition_row`.
    int edition = 1;
    bool edition_row = false;

    std::string_view key() const { return columns.front().name; }
    std::string_view operator[](std::size_t column) const { return columns[column].name; }
};

enum BillsColumn : std::size_t {
    kBillId,
    kBillIssued,
    kBillOperator,
    kBillCabin,
    kBillTotalCost,
    kBillTotalTax,
    kBillTotalWithTax,
    kBillsColumnCount
};
inline constexpr std::array<Column, kBillsColumnCount> kBillsColumns = {{
    {"id_bill", kStoreKey, FieldKind::kKey, "Index", true, 60},
    {"issued_date", "TEXT", FieldKind::kTime, "Issued date", true, 85},
    {"operator", "TEXT", FieldKind::kText, "Operator's name", true, 105},
    {"cabin_number", "TEXT", FieldKind::kText, "Cabin number", true, 90, true},
    {"total_cost", "REAL", FieldKind::kAmount, "Total cost", true, 75},
    {"total_taxes", "REAL", FieldKind::kAmount, "Total taxes", true, 85},
    {"total_cost_taxes", "REAL", FieldKind::kAmount, "Total cost incl. taxes", true, 130},
}};

enum CallsColumn : std::size_t {
    kCallId,
    kCallBill,
    kCallDestination,
    kCallEnd,
    kCallDuration,
    kCallRate,
    kCallTax,
    kCallCost,
    kCallWithTax,
    kCallsColumnCount
};
inline constexpr std::array<Column, kCallsColumnCount> kCallsColumns = {{
    {"id_call", kStoreKey, FieldKind::kKey},
    {kBillsColumns[kBillId].name, "INTEGER", FieldKind::kKey},  // the bill a call belongs to
    {"destination", "TEXT", FieldKind::kText, "Destination number", true, 115},
    {"end_date", "TEXT", FieldKind::kText, "Call end date", true, 88},
    {"duration", "TEXT", FieldKind::kText, "Duration", true, 65},
    {"rate", "REAL", FieldKind::kAmount, "Rate", true, 60},
    {"call_taxes", "REAL", FieldKind::kAmount, "Tax", true, 60},
    {"call_cost", "REAL", FieldKind::kAmount, "Total cost", true, 75},
    {"call_cost_taxes", "REAL", FieldKind::kAmount, "Total cost incl. taxes", true, 120},
}};

inline constexpr StoreTable kBillsTable{"bills", kBillsColumns};
inline constexpr StoreTable kCallsTable{"calls", kCallsColumns, "calls_of_bill", kCallBill};

// The second edition, beside the first's tables, whose rows and statements stay as they are.
// bill_seals: one seal per bill, in id order: SHA-256 over the previous bill's seal and the
// bill's canonical form (README.md, "The second edition"); previous_id is the id of the bill
// sealed before it (0 for the first), so a removed bill shows as a gap.
enum SealsColumn : std::size_t { kSealBill, kSealPrevious, kSealValue, kSealsColumnCount };
inline constexpr std::array<Column, kSealsColumnCount> kSealsColumns = {{
    {kBillsColumns[kBillId].name, "INTEGER PRIMARY KEY", FieldKind::kKey},
    {"previous_id", "INTEGER NOT NULL", FieldKind::kKey},
    {"seal", "BLOB NOT NULL"},
}};

// bill_voids: a void is a bill of its own, in bills and calls, whose amounts are the
// original's negated; this links it to the original with who voided it, when (local time, as
// issued_date) and why. A bill is voided at most once.
enum VoidsColumn : std::size_t {
    kVoidOriginal,
    kVoidBill,
    kVoidOperator,
    kVoidTime,
    kVoidReason,
    kVoidsColumnCount
};
inline constexpr std::array<Column, kVoidsColumnCount> kVoidsColumns = {{
    {"id_original", "INTEGER PRIMARY KEY", FieldKind::kKey},
    {"id_void", "INTEGER NOT NULL UNIQUE", FieldKind::kKey},
    {kBillsColumns[kBillOperator].name, "TEXT"},
    {"voided_at", "TEXT", FieldKind::kTime},
    {"reason", "TEXT"},
}};

// The export's link of a bill to its void, in bills.csv after the bills' own columns: the void
// that cancels the bill, the bill a void cancels, and why.
enum VoidLinkColumn : std::size_t { kLinkVoidedBy, kLinkVoidOf, kLinkReason, kVoidLinkCount };
inline constexpr std::array<std::string_view, kVoidLinkCount> kVoidLinkCaptions = {
    "Voided by bill", "Void of bill", "Void reason"};

// store_edition: the schema's version, one row. A store without it is of the first edition.
enum EditionColumn : std::size_t { kEditionVersion, kEditionColumnCount };
inline constexpr std::array<Column, kEditionColumnCount> kEditionColumns = {{
    {"version", "INTEGER NOT NULL"},
}};

// print_outcomes (third edition): what became of each print of a bill, newest last. printed_at
// is local time as issued_date; job_id the spooler's (0 when none was given); outcome one of
// the words of print_outcome.h; reason the platform's or the spooler's, in plain words.
enum PrintOutcomeColumn : std::size_t {
    kOutcomeId,
    kOutcomeBill,
    kOutcomeTime,
    kOutcomePrinter,
    kOutcomeJob,
    kOutcomeWord,
    kOutcomeReason,
    kOutcomeColumnCount
};
inline constexpr std::array<Column, kOutcomeColumnCount> kOutcomeColumns = {{
    {"id_outcome", kStoreKey, FieldKind::kKey},
    {kBillsColumns[kBillId].name, "INTEGER NOT NULL", FieldKind::kKey},
    {"printed_at", "TEXT", FieldKind::kTime},
    {"printer", "TEXT"},
    {"job_id", "INTEGER", FieldKind::kKey},
    {"outcome", "TEXT"},
    {"reason", "TEXT"},
}};

inline constexpr StoreTable kSealsTable{
    .name = "bill_seals", .columns = kSealsColumns, .edition = 2};
inline constexpr StoreTable kVoidsTable{
    .name = "bill_voids", .columns = kVoidsColumns, .edition = 2};
inline constexpr StoreTable kEditionTable{
    .name = "store_edition", .columns = kEditionColumns, .edition = 2, .edition_row = true};

inline constexpr StoreTable kOutcomesTable{.name = "print_outcomes",
                                           .columns = kOutcomeColumns,
                                           .index = "print_outcomes_of_bill",
                                           .indexed = kOutcomeBill,
                                           .edition = 3};

// day_closes (third edition): one row per close of the day, numbered 1, 2, 3, ... The period
// is the bills after after_bill up to last_bill (the newest bill when the day was closed);
// amounts are whole cents; closed_at and period_start are local time as issued_date. seal is
// SHA-256 over the previous close's seal, the seal of last_bill and the close's canonical form
// (README.md, "Closing the day").
enum DayCloseColumn : std::size_t {
    kCloseNumber,
    kCloseTime,
    kCloseOperator,
    kCloseAfterBill,
    kCloseLastBill,
    kCloseStart,
    kCloseBills,
    kCloseVoids,
    kCloseFirstBill,
    kCloseTotalCost,
    kCloseTotalTax,
    kCloseTotalWithTax,
    kCloseVoidTotal,
    kCloseNetTotal,
    kCloseOpeningFloat,
    kCloseExpectedCash,
    kCloseCountedCash,
    kCloseDifference,
    kCloseNote,
    kCloseNextFloat,
    kCloseSeal,
    kDayCloseColumnCount
};
inline constexpr std::array<Column, kDayCloseColumnCount> kDayCloseColumns = {{
    {"number", "INTEGER PRIMARY KEY", FieldKind::kKey},
    {"closed_at", "TEXT NOT NULL", FieldKind::kTime},
    {kBillsColumns[kBillOperator].name, "TEXT"},
    {"after_bill", "INTEGER NOT NULL", FieldKind::kKey},
    {"last_bill", "INTEGER NOT NULL", FieldKind::kKey},
    {"period_start", "TEXT", FieldKind::kTime},
    {"bills", "INTEGER NOT NULL", FieldKind::kKey},
    {"voids", "INTEGER NOT NULL", FieldKind::kKey},
    {"first_bill", "INTEGER NOT NULL", FieldKind::kKey},
    {"total_cost_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"total_taxes_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"total_cost_taxes_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"voids_total_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"net_total_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"opening_float_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"expected_cash_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"counted_cash_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"difference_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"note", "TEXT"},
    {"next_float_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"seal", "BLOB NOT NULL"},
}};

// day_close_rates (third edition): a close's figures per tax rate, the rate in hundredths of a
// percent as each call's stored cost and tax give it; NULL for the bills without calls.
enum CloseRateColumn : std::size_t {
    kRateId,
    kRateClose,
    kRateHundredths,
    kRateCost,
    kRateTax,
    kRateWithTax,
    kCloseRateColumnCount
};
inline constexpr std::array<Column, kCloseRateColumnCount> kCloseRateColumns = {{
    {"id_rate", kStoreKey, FieldKind::kKey},
    {kDayCloseColumns[kCloseNumber].name, "INTEGER NOT NULL", FieldKind::kKey},
    {"rate_hundredths", "INTEGER", FieldKind::kKey},
    {"cost_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"taxes_cents", "INTEGER NOT NULL", FieldKind::kKey},
    {"cost_taxes_cents", "INTEGER NOT NULL", FieldKind::kKey},
}};

inline constexpr StoreTable kDayClosesTable{
    .name = "day_closes", .columns = kDayCloseColumns, .edition = 3};
inline constexpr StoreTable kCloseRatesTable{.name = "day_close_rates",
                                             .columns = kCloseRateColumns,
                                             .index = "day_close_rates_of_close",
                                             .indexed = kRateClose,
                                             .edition = 3};

// bill_rates (fourth edition): each bill's calls summed by tax rate, in whole cents, written
// with the bill and its calls in one transaction, so that the takings of a long period are read
// without its calls. The rate in hundredths of a percent as each call's stored cost and tax give
// it; a bill without calls has one row with rate_hundredths NULL and nothing in it. Bills
// stored before the store had the table have no rows: the summary starts at the first bill
// that has one, and every bill after it has at least one.
enum BillRateColumn : std::size_t {
    kBillRateId,
    kBillRateBill,
    kBillRateHundredths,
    kBillRateCost,
    kBillRateTax,
    kBillRateWithTax,
    kBillRateColumnCount
};
inline constexpr std::array<Column, kBillRateColumnCount> kBillRateColumns = {{
    {"id_bill_rate", "INTEGER PRIMARY KEY", FieldKind::kKey},
    {kBillsColumns[kBillId].name, "INTEGER NOT NULL", FieldKind::kKey},
    {kCloseRateColumns[kRateHundredths].name, "INTEGER", FieldKind::kKey},
    {kCloseRateColumns[kRateCost].name, "INTEGER NOT NULL", FieldKind::kKey},
    {kCloseRateColumns[kRateTax].name, "INTEGER NOT NULL", FieldKind::kKey},
    {kCloseRateColumns[kRateWithTax].name, "INTEGER NOT NULL", FieldKind::kKey},
}};
inline constexpr StoreTable kBillRatesTable{.name = "bill_rates",
                                            .columns = kBillRateColumns,
                                            .index = "bill_rates_of_bill",
                                            .indexed = kBillRateBill,
                                            .edition = 4};

// Every table of the store, in the order the schema creates them.
inline constexpr std::array<StoreTable, 9> kStoreTables = {
    kBillsTable,    kCallsTable,     kSealsTable,      kVoidsTable,    kEditionTable,
    kOutcomesTable, kDayClosesTable, kCloseRatesTable, kBillRatesTable};

// The tables editions `first` to `last` bring to a store: for the first, WAL journal, the
// tables, their indexes; for later ones their tables, their indexes and the row recording
// `last`, the edition the store is then of.
std::string SchemaOf(int first, int last);
inline std::string SchemaOf(int edition) {
    return SchemaOf(edition, edition);
}
// `pattern` with the table's names: "{}" is the table's, "{n}" that of the n-th of `columns`.
std::string StatementOn(const StoreTable& table, std::string_view pattern,
                        std::initializer_list<std::size_t> columns = {});
// "a,b,c": the table's columns as a select lists them.
std::string ColumnList(const StoreTable& table);
std::vector<std::string> ColumnNames(const StoreTable& table);
// The row insert: every column but the key, placeholder n for column n.
std::string InsertStatement(const StoreTable& table);
// The key the store gave last: the console is the store's only writer.
std::string NewestKeyStatement(const StoreTable& table);

}  // namespace tlx::billing
