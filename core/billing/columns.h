// The bills store's tables, column by column: the one place a column's name is written. The
// schema billsdb creates, the store's checks, the statements' column lists, the bills page's
// grids and the reprint all read these tables. A new table is a column enum, a column array
// and a StoreTable added to kStoreTables.
//
// How values are kept: issued_date is local time written as 'YYYY-MM-DD HH:MM:SS' (SQLite's
// own date-time text), so it sorts in time order as text; end_date is the call's end time as
// the booth wrote it, 'HH:MM:SS'. Amounts are stored rounded to two decimals. id_bill and
// id_call are given by the store and never reused. A call belongs to the bill whose id_bill it
// carries; calls of a bill whose own row could not be written carry 0.
#pragma once

#include <array>
#include <cstddef>
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
    std::span<const Column> columns;  // in the table's order; the first is the store's key
    std::string_view index = {};      // an index on the column `indexed`, if named
    std::size_t indexed = 0;

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
// Every table of the store, in the order the schema creates them.
inline constexpr std::array<StoreTable, 2> kStoreTables = {kBillsTable, kCallsTable};

// The schema of an empty store: WAL journal, the tables, their indexes.
std::string SchemaOf(std::span<const StoreTable> tables);
// "a,b,c": the table's columns as a select lists them.
std::string ColumnList(const StoreTable& table);
std::vector<std::string> ColumnNames(const StoreTable& table);
// The row insert: every column but the key, placeholder n for column n.
std::string InsertStatement(const StoreTable& table);
// The key the store gave last: the console is the store's only writer.
std::string NewestKeyStatement(const StoreTable& table);

}  // namespace tlx::billing
