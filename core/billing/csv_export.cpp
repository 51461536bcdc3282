#include "core/billing/csv_export.h"

#include <sqlite3.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

#include "core/billing/bill.h"
#include "core/billing/columns.h"
#include "core/billing/ledger.h"
#include "core/billing/sqlite_handles.h"

namespace tlx::billing {
namespace {

using sqlite::Db;
using sqlite::Statement;

namespace fs = std::filesystem;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool IsDate(std::string_view date) {
    return date.size() == 10 && ParseStored(std::string(date) + " 00:00:00").has_value();
}

// A file written through a buffer; its state is looked at once, at the end.
class CsvFile {
  public:
    CsvFile(const fs::path& path, char separator)
        : out_(path, std::ios::binary | std::ios::trunc), separator_(separator) {
        buffer_.reserve(kFlushAt + 4096);
        buffer_ += kByteOrderMark;
    }
    void Field(std::string_view text) {
        if (!first_) buffer_ += separator_;
        first_ = false;
        AppendCsvField(buffer_, text, separator_);
    }
    void EndRow() {
        buffer_ += kLineEnd;
        first_ = true;
        if (buffer_.size() >= kFlushAt) Flush();
    }
    bool Close() {
        Flush();
        out_.close();
        return !out_.fail();
    }

  private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    void Flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
    std::ofstream out_;
    char separator_;
    std::string buffer_;
    bool first_ = true;
};

// Column `i` of the row as the grids show it, in the export's number form.
void PutValue(CsvFile& file, sqlite3_stmt* s, int i, FieldKind kind, char decimal_sign) {
    if (sqlite3_column_type(s, i) == SQLITE_NULL) return file.Field({});
    char digits[64];
    if (kind == FieldKind::kKey) {
        const auto end = std::to_chars(digits, digits + sizeof digits, sqlite3_column_int64(s, i));
        return file.Field(std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
    }
    if (kind == FieldKind::kAmount) {
        const double value = sqlite3_column_double(s, i);
        const auto end =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2);
        std::string_view text(digits, static_cast<std::size_t>(end.ptr - digits));
        if (text == "-0.00") text.remove_prefix(1);  // a negated zero is still nothing owed
        std::string amount(text);
        if (const auto dot = amount.find('.'); dot != std::string::npos) amount[dot] = decimal_sign;
        return file.Field(amount);
    }
    // Dates are stored as 'YYYY-MM-DD HH:MM:SS' already; texts are UTF-8 as stored.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    file.Field(
        std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(s, i))));
}

bool HasVoids(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    const std::string sql = "select 1 from sqlite_schema where type='table' and name='" +
                            std::string(kVoidsTable.name) + "'";
    const bool there = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) == SQLITE_OK &&
                       sqlite3_step(raw) == SQLITE_ROW;
    sqlite3_finalize(raw);
    return there;
}

std::string Qualified(const StoreTable& table, std::string_view alias) {
    std::string list;
    for (const Column& column : table.columns) {
        if (!list.empty()) list += ',';
        list.append(alias).append(".").append(column.name);
    }
    return list;
}

// The bills issued on the range's days: issued_date from the first day's midnight to before the
// midnight that ends the last.
std::string InRange() {
    return "b." + std::string(kBillsColumns[kBillIssued].name) + ">=?1 and b." +
           std::string(kBillsColumns[kBillIssued].name) + "<date(?2,'+1 day')";
}

std::string BillsQuery(bool voids) {
    const std::string id = "b." + std::string(kBillsColumns[kBillId].name);
    std::string sql = "select " + Qualified(kBillsTable, "b");
    if (voids) {
        const std::string original(kVoidsColumns[kVoidOriginal].name);
        const std::string void_id(kVoidsColumns[kVoidBill].name);
        const std::string reason(kVoidsColumns[kVoidReason].name);
        sql += ",voided." + void_id + ",void." + original + ",coalesce(voided." + reason +
               ",void." + reason + ") from " + std::string(kBillsTable.name) + " b left join " +
               std::string(kVoidsTable.name) + " voided on voided." + original + "=" + id +
               " left join " + std::string(kVoidsTable.name) + " void on void." + void_id + "=" +
               id;
    } else {
        sql += ",null,null,null from " + std::string(kBillsTable.name) + " b";
    }
    return sql + " where " + InRange() + " order by " + id;
}

std::string CallsQuery() {
    const std::string bill(kCallsColumns[kCallBill].name);
    return "select " + Qualified(kCallsTable, "c") + " from " + std::string(kCallsTable.name) +
           " c join " + std::string(kBillsTable.name) + " b on c." + bill + "=b." +
           std::string(kBillsColumns[kBillId].name) + " where " + InRange() + " order by c." +
           bill + ",c." + std::string(kCallsColumns[kCallId].name);
}

// The caption of a grid's column; a column the grid hides is named as stored.
std::string_view HeaderOf(const Column& column) {
    return column.caption.empty() ? column.name : column.caption;
}

}  // namespace

CsvFormat CsvFormatFor(char decimal_sign) {
    return CsvFormat{decimal_sign == ',' ? ';' : ',', decimal_sign};
}

void AppendCsvField(std::string& line, std::string_view field, char separator) {
    if (field.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

ExportOutcome ExportCsv(const std::string& store_path, std::string_view from, std::string_view to,
                        const std::string& folder, const CsvFormat& format) {
    ExportOutcome out;
    auto fail = [&](const std::string& why) {
        out = {};
        out.message = "Nothing was exported: " + why + ".";
        return out;
    };
    if (!IsDate(from) || !IsDate(to)) return fail("a date is not a day of the form YYYY-MM-DD");
    if (from > to) return fail("the first day comes after the last");
    const fs::path dir = fs::u8path(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return fail("the folder " + folder + " cannot be found");
    if (!fs::is_regular_file(fs::u8path(store_path), ec)) {
        return fail("the bills store " + store_path + " cannot be found");
    }

    sqlite3* raw = nullptr;
    const int rc = OpenForCheck(store_path, &raw);
    Db db(raw);
    if (rc != SQLITE_OK) return fail("the bills store cannot be read");
    // One snapshot for both files: every call written belongs to a bill written.
    sqlite3_exec(db.get(), "begin", nullptr, nullptr, nullptr);
    auto prepare = [&](const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &s, nullptr);
        Statement statement(s);
        if (statement) {
            sqlite3_bind_text(s, 1, from.data(), static_cast<int>(from.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 2, to.data(), static_cast<int>(to.size()), SQLITE_TRANSIENT);
        }
        return statement;
    };
    Statement bills = prepare(BillsQuery(HasVoids(db.get())));
    Statement calls = prepare(CallsQuery());
    if (!bills || !calls) {
        return fail("the file is not a bills store (" + std::string(sqlite3_errmsg(db.get())) +
                    ")");
    }

    const fs::path bills_path = dir / fs::u8path(std::string(kBillsCsv));
    const fs::path calls_path = dir / fs::u8path(std::string(kCallsCsv));
    bool read_ok = true;
    auto write = [&](const fs::path& path, const StoreTable& table, sqlite3_stmt* s, bool links,
                     std::int64_t& rows) {
        CsvFile file(path, format.separator);
        for (const Column& column : table.columns) file.Field(HeaderOf(column));
        if (links) {
            for (const auto caption : kVoidLinkCaptions) file.Field(caption);
        }
        file.EndRow();
        int step;
        while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            int i = 0;
            for (const Column& column : table.columns) {
                PutValue(file, s, i++, column.kind, format.decimal_sign);
            }
            if (links) {
                PutValue(file, s, i++, FieldKind::kKey, format.decimal_sign);
                PutValue(file, s, i++, FieldKind::kKey, format.decimal_sign);
                PutValue(file, s, i++, FieldKind::kText, format.decimal_sign);
            }
            file.EndRow();
            ++rows;
        }
        if (step != SQLITE_DONE) read_ok = false;
        return file.Close();
    };
    std::int64_t bill_rows = 0, call_rows = 0;
    const bool written = write(bills_path, kBillsTable, bills.get(), true, bill_rows) &&
                         write(calls_path, kCallsTable, calls.get(), false, call_rows);
    const std::string read_error = sqlite3_errmsg(db.get());
    if (!written || !read_ok) {
        fs::remove(bills_path, ec);
        fs::remove(calls_path, ec);
        return fail(!read_ok ? "the bills store cannot be read (" + read_error + ")"
                             : "the files cannot be written in " + folder);
    }
    out.ok = true;
    out.bills = bill_rows;
    out.calls = call_rows;
    return out;
}

}  // namespace tlx::billing
