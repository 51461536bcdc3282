// The bills of a date range as two CSV files a spreadsheet opens: bills.csv and calls.csv.
// UTF-8 with a byte-order mark, the caller's list separator and decimal sign, ISO dates, amounts
// with two decimals, RFC 4180 quoting, CRLF line ends, a header row of the grids' captions
// (README.md, "Backups and export").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::billing {

inline constexpr std::string_view kBillsCsv = "bills.csv";
inline constexpr std::string_view kCallsCsv = "calls.csv";

struct CsvFormat {
    char separator = ',';
    char decimal_sign = '.';
};
// The separator that goes with a decimal sign when none is given: ';' beside a decimal comma.
CsvFormat CsvFormatFor(char decimal_sign);

struct ExportOutcome {
    bool ok = false;
    std::int64_t bills = 0, calls = 0;  // rows written
    std::string message;                // why not, for the operator (empty when written)
};
// The bills issued from `from` to `to` (local dates "YYYY-MM-DD", both included) and their
// calls, read in one snapshot of the store, into `folder` (which must exist); files of those
// names there are replaced.
ExportOutcome ExportCsv(const std::string& store_path, std::string_view from, std::string_view to,
                        const std::string& folder, const CsvFormat& format = {});

// One field as RFC 4180 writes it: quoted, quotes doubled, when it holds the separator, a
// quote, CR or LF.
void AppendCsvField(std::string& line, std::string_view field, char separator);

}  // namespace tlx::billing
