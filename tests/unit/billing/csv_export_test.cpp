// The CSV export read back as a spreadsheet would: a small RFC 4180 reader, then row counts,
// sums, texts, the void links and the date range against the store itself.
#include "core/billing/csv_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "tests/unit/billing/backup_fixture.h"

namespace tlx::billing {
namespace {

namespace fs = std::filesystem;

struct Csv {
    bool bom = false;
    bool crlf_only = true;  // every record ends in CR LF, no bare CR or LF outside quotes
    std::vector<std::vector<std::string>> rows;
};

Csv ReadCsv(const std::string& bytes, char separator) {
    Csv out;
    std::size_t i = 0;
    out.bom = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    if (out.bom) i = 3;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                field += '"';
                i += 2;
            } else {
                quoted = c != '"';
                if (quoted) field += c;
                ++i;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
            ++i;
        } else if (c == separator) {
            row.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            row.push_back(std::move(field));
            field.clear();
            out.rows.push_back(std::move(row));
            row.clear();
            i += 2;
        } else {
            if (c == '\r' || c == '\n') out.crlf_only = false;
            field += c;
            ++i;
        }
    }
    if (!field.empty() || !row.empty()) out.crlf_only = false;
    return out;
}

class Export : public BackupFixture {
  protected:
    Export() : out_(folder_ + "/out") { fs::create_directory(out_); }

    // Bills on both sides of 2026-12-07 .. 2026-12-08, named as operators name themselves.
    void MakeShop() {
        MakeStore(2, 0);
        BillsStore store;
        ASSERT_TRUE(store.Open(path_));
        const std::vector<std::pair<std::string, LocalTime>> bills = {
            {"Before", {2026, 12, 6, 23, 59, 59}},
            {"Smith; Jones \"Jr\"", {2026, 12, 7, 0, 0, 0}},
            {"Zoë Ångström, 東京", {2026, 12, 7, 12, 30, 0}},
            {"two\r\nlines\nand\rmore", {2026, 12, 8, 9, 0, 0}},
            {"Tab\there", {2026, 12, 8, 23, 59, 59}},
            {"After", {2026, 12, 9, 0, 0, 0}},
        };
        int n = 0;
        for (const auto& [name, at] : bills) {
            Bill b = Sample(1 + n++ % 3);
            b.operator_name = name;
            b.issued = at;
            b.calls.front().cost = 1.25;  // amounts of their own
            b.total_cost_with_tax = 3.07 * n;
            store.StoreBill(b, [](const std::string& e) { ADD_FAILURE() << e; });
        }
        ASSERT_EQ(
            store.VoidBill(3, "Ben", "wrong booth; \"sorry\"", {2026, 12, 8, 10, 0, 0}).void_id, 7);
    }
    // A sum over the range's rows in cents, as the store holds it.
    std::string StoreCents(const std::string& table, const std::string& column) {
        return Query(path_, "select sum(cast(round(" + column + "*100) as integer)) from " + table +
                                " where id_bill in (select id_bill from bills where "
                                "issued_date between '2026-12-07' and '2026-12-08 23:59:59')");
    }
    static long long Cents(std::string text, char decimal_sign) {
        std::replace(text.begin(), text.end(), decimal_sign, '.');
        return std::llround(std::stod(text) * 100);
    }
    Csv Read(std::string_view file, char separator) {
        return ReadCsv(Bytes(out_ + "/" + std::string(file)), separator);
    }

    std::string out_;
};

TEST_F(Export, RoundTripThroughASpreadsheetsReader) {
    MakeShop();
    const std::string bill_sum = StoreCents("bills", "total_cost_taxes");
    const std::string call_sum = StoreCents("calls", "call_cost");
    const std::string call_count =
        Query(path_, "select count(*) from calls where id_bill in (2,3,4,5,7)");
    for (const CsvFormat format :
         {CsvFormat{',', '.'}, CsvFormat{';', ','}, CsvFormat{'\t', '.'}}) {
        SCOPED_TRACE(std::string("separator ") + format.separator);
        const ExportOutcome out = ExportCsv(path_, "2026-12-07", "2026-12-08", out_, format);
        ASSERT_TRUE(out.ok) << out.message;
        const Csv bills = Read(kBillsCsv, format.separator);
        const Csv calls = Read(kCallsCsv, format.separator);
        for (const Csv* csv : {&bills, &calls}) {
            EXPECT_TRUE(csv->bom);
            EXPECT_TRUE(csv->crlf_only);
        }
        ASSERT_EQ(bills.rows.front(), (std::vector<std::string>{
                                          "Index", "Issued date", "Operator's name", "Cabin number",
                                          "Total cost", "Total taxes", "Total cost incl. taxes",
                                          "Voided by bill", "Void of bill", "Void reason"}));
        ASSERT_EQ(calls.rows.front(),
                  (std::vector<std::string>{"id_call", "id_bill", "Destination number",
                                            "Call end date", "Duration", "Rate", "Tax",
                                            "Total cost", "Total cost incl. taxes"}));
        // Every row as wide as its header; counts and sums as in the store.
        long long cents = 0, call_cents = 0;
        std::map<std::string, std::vector<std::string>> by_id;
        for (std::size_t r = 1; r < bills.rows.size(); ++r) {
            ASSERT_EQ(bills.rows[r].size(), 10u);
            cents += Cents(bills.rows[r][6], format.decimal_sign);
            by_id[bills.rows[r][0]] = bills.rows[r];
        }
        for (std::size_t r = 1; r < calls.rows.size(); ++r) {
            ASSERT_EQ(calls.rows[r].size(), 9u);
            call_cents += Cents(calls.rows[r][7], format.decimal_sign);
            EXPECT_TRUE(by_id.count(calls.rows[r][1])) << "a call of a bill not exported";
        }
        EXPECT_EQ(std::to_string(cents), bill_sum);
        EXPECT_EQ(bills.rows.size() - 1, 5u);
        EXPECT_EQ(out.bills, 5);
        EXPECT_EQ(std::to_string(call_cents), call_sum);
        EXPECT_EQ(std::to_string(calls.rows.size() - 1), call_count);
        EXPECT_EQ(std::to_string(out.calls), call_count);
        // Both ends of the range, texts as stored, ISO dates, two decimals.
        std::set<std::string> names;
        for (const auto& [id, row] : by_id) names.insert(row[2]);
        EXPECT_EQ(names, (std::set<std::string>{"Smith; Jones \"Jr\"", "Zoë Ångström, 東京",
                                                "two\r\nlines\nand\rmore", "Tab\there", "Ben"}));
        EXPECT_EQ(by_id["2"][1], "2026-12-07 00:00:00");
        EXPECT_EQ(by_id["5"][1], "2026-12-08 23:59:59");
        EXPECT_EQ(by_id["2"][6], std::string("6") + format.decimal_sign + "14");
        EXPECT_EQ(by_id["2"][4], std::string("5") + format.decimal_sign + "00");
        // The void and the bill it cancels point at each other.
        EXPECT_EQ(std::vector<std::string>(by_id["3"].begin() + 7, by_id["3"].end()),
                  (std::vector<std::string>{"7", "", "wrong booth; \"sorry\""}));
        EXPECT_EQ(std::vector<std::string>(by_id["7"].begin() + 7, by_id["7"].end()),
                  (std::vector<std::string>{"", "3", "wrong booth; \"sorry\""}));
        EXPECT_EQ(by_id["7"][6], "-" + by_id["3"][6]);
        EXPECT_EQ(by_id["2"][7] + by_id["2"][8] + by_id["2"][9], "");
    }
}

TEST_F(Export, FirstEditionStoreAndRefusals) {
    MakeStore(1, 2);
    ExportOutcome out = ExportCsv(path_, "2026-12-07", "2026-12-07", out_);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.bills, 2);
    const Csv bills = Read(kBillsCsv, ',');
    ASSERT_EQ(bills.rows.size(), 3u);
    EXPECT_EQ(bills.rows[1].back(), "") << "no voids in a first-edition store";
    EXPECT_EQ(ExportCsv(path_, "2026-12-08", "2026-12-31", out_).bills, 0);
    EXPECT_EQ(Read(kBillsCsv, ',').rows.size(), 1u) << "the header alone";

    struct Case {
        const char *from, *to;
        std::string store, folder;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"2026-12-7", "2026-12-08", path_, out_, "not a day"},
        {"2026-02-30", "2026-12-08", path_, out_, "not a day"},
        {"2026-12-09", "2026-12-08", path_, out_, "comes after"},
        {"2026-12-07", "2026-12-08", path_, out_ + "/gone", "cannot be found"},
        {"2026-12-07", "2026-12-08", path_ + ".gone", out_, "cannot be found"},
    };
    fs::remove_all(out_);
    fs::create_directory(out_);
    for (const auto& c : cases) {
        out = ExportCsv(c.store, c.from, c.to, c.folder);
        EXPECT_FALSE(out.ok) << c.from;
        EXPECT_NE(out.message.find(c.says), std::string::npos) << out.message;
        EXPECT_TRUE(fs::is_empty(out_)) << "nothing written";
    }
    EXPECT_EQ(CsvFormatFor(',').separator, ';');
    EXPECT_EQ(CsvFormatFor('.').separator, ',');
}

}  // namespace
}  // namespace tlx::billing
