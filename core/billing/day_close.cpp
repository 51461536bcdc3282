#include "core/billing/day_close.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <future>

#include "core/billing/bill_rates.h"
#include "core/billing/columns.h"
#include "core/billing/ledger.h"
#include "core/billing/sqlite_handles.h"
#include "core/billing/store.h"

namespace tlx::billing {
namespace {

using sqlite::Exec;
using sqlite::Prepare;
using sqlite::Statement;

std::string Text(sqlite3_stmt* s, int column) {
    const auto* t = sqlite3_column_text(s, column);
    return t ? reinterpret_cast<const char*>(t) : "";
}

void Bind(sqlite3_stmt* s, int at, std::string_view text) {
    sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool HasClosesTable(sqlite3* db) {
    return Prepare(db, StatementOn(kDayClosesTable, "select 1 from {} limit 0")) != nullptr;
}

// The period's bills as stored, by their place after `after`, how many calls the bills up to
// `calls_to` have and how many summary rows those after it have, by the indexes; read on a
// connection of their own while the calls and summaries are read on the caller's.
struct BillsRead {
    struct Bill {
        Cents cost = 0, tax = 0, with_tax = 0;
        bool stored = false;
    };
    std::vector<Bill> bills;
    std::int64_t calls_in_period = 0, summary_rows = 0;
    bool ok = false;
};

BillsRead ReadBills(sqlite3* db, std::int64_t after, std::int64_t last, std::int64_t calls_to) {
    BillsRead out;
    out.bills.resize(static_cast<std::size_t>(last - after));
    Statement count = Prepare(
        db,
        StatementOn(kCallsTable, "select count(*) from {} where {0}>?1 and {0}<=?2", {kCallBill}));
    Statement bills =
        Prepare(db, StatementOn(kBillsTable,
                                "select {0},{1},{2},{3} from {} where {0}>?1 and "
                                "{0}<=?2 order by {0}",
                                {kBillId, kBillTotalCost, kBillTotalTax, kBillTotalWithTax}));
    if (!count || !bills) return out;
    sqlite3_bind_int64(count.get(), 1, after);
    sqlite3_bind_int64(count.get(), 2, calls_to);
    sqlite3_bind_int64(bills.get(), 1, after);
    sqlite3_bind_int64(bills.get(), 2, last);
    if (sqlite3_step(count.get()) != SQLITE_ROW) return out;
    out.calls_in_period = sqlite3_column_int64(count.get(), 0);
    if (calls_to < last) {
        Statement rows = Prepare(
            db, StatementOn(kBillRatesTable, "select count(*) from {} where {0}>?1 and {0}<=?2",
                            {kBillRateBill}));
        if (!rows) return out;
        sqlite3_bind_int64(rows.get(), 1, calls_to);
        sqlite3_bind_int64(rows.get(), 2, last);
        if (sqlite3_step(rows.get()) != SQLITE_ROW) return out;
        out.summary_rows = sqlite3_column_int64(rows.get(), 0);
    }
    int rc;
    while ((rc = sqlite3_step(bills.get())) == SQLITE_ROW) {
        auto& b =
            out.bills[static_cast<std::size_t>(sqlite3_column_int64(bills.get(), 0) - after - 1)];
        b.cost = CentsOf(sqlite3_column_double(bills.get(), 1));
        b.tax = CentsOf(sqlite3_column_double(bills.get(), 2));
        b.with_tax = CentsOf(sqlite3_column_double(bills.get(), 3));
        b.stored = true;
    }
    out.ok = rc == SQLITE_DONE;
    return out;
}

// ReadBills on a second reader of the same file, so that a long period costs the operator the
// longer of the two reads rather than their sum. Only for a caller with nothing of its own
// unwritten: the other reader sees what is committed. An empty future when there is no file
// to open (a store in memory) or no thread to be had; the caller then reads the bills itself.
std::future<BillsRead> ReadBillsBeside(sqlite3* db, std::int64_t after, std::int64_t last,
                                       std::int64_t calls_to) {
    const char* file = sqlite3_db_filename(db, "main");
    if (!file || !*file || sqlite3_txn_state(db, "main") == SQLITE_TXN_WRITE) return {};
    try {
        return std::async(std::launch::async, [path = std::string(file), after, last, calls_to] {
            const sqlite::Db beside = OpenForDayClose(path, false);
            return beside && sqlite3_errcode(beside.get()) == SQLITE_OK
                       ? ReadBills(beside.get(), after, last, calls_to)
                       : BillsRead{};
        });
    } catch (const std::exception&) {
        return {};
    }
}

// The figures of the bills after `after` up to `last`, read by id range only. The rates of
// bills stored with a rate summary come from it; only older bills' calls are read, or all of
// them `from_calls`.
std::optional<DayFigures> FiguresOf(sqlite3* db, std::int64_t after, std::int64_t last,
                                    bool from_calls) {
    DayFigures f;
    f.after_bill = after;
    f.last_bill = std::max(after, last);
    const auto span = static_cast<std::size_t>(f.last_bill - after);
    std::vector<char> is_void(span, 0), has_calls(span, 0);
    const std::int64_t first_summarized = from_calls ? 0 : FirstSummarizedBill(db);
    // The bills up to calls_to are read by their calls, those after it by their summaries.
    const std::int64_t calls_to =
        first_summarized == 0 ? f.last_bill : std::clamp(first_summarized - 1, after, f.last_bill);
    auto in_range = [&](Statement& s, std::int64_t to) {
        sqlite3_bind_int64(s.get(), 1, after);
        sqlite3_bind_int64(s.get(), 2, to);
    };
    Statement voids = Prepare(
        db, StatementOn(kVoidsTable, "select {0} from {} where {0}>?1 and {0}<=?2", {kVoidBill}));
    // A bill's calls are written right after it, so the period's calls are read in written
    // order from its first bill's first call to its last bill's last; should rows ever have
    // been moved, the count by the index tells, and they are read through the index instead.
    Statement ends = Prepare(
        db, StatementOn(kCallsTable,
                        "select (select min({1}) from {} where {0}=(select min({0}) from {} where "
                        "{0}>?1 and {0}<=?2)), (select max({1}) from {} where {0}=(select max({0}) "
                        "from {} where {0}>?1 and {0}<=?2))",
                        {kCallBill, kCallId}));
    Statement written = Prepare(
        db, StatementOn(kCallsTable, "select {0},{1},{2},{3} from {} where {4}>=?3 and {4}<=?4",
                        {kCallBill, kCallCost, kCallTax, kCallWithTax, kCallId}));
    Statement indexed = Prepare(
        db, StatementOn(kCallsTable, "select {0},{1},{2},{3} from {} where {0}>?1 and {0}<=?2",
                        {kCallBill, kCallCost, kCallTax, kCallWithTax}));
    // Summaries are written with their bills, so they too are read in written order, and
    // counted by the index beside.
    const bool summarized = calls_to < f.last_bill;
    Statement summary_ends =
        summarized ? Prepare(db, StatementOn(kBillRatesTable,
                                             "select (select {0} from {} where {1}>?1 and {1}<=?2 "
                                             "order by {1} limit 1), (select {0} from {} where "
                                             "{1}>?1 and {1}<=?2 order by {1} desc limit 1)",
                                             {kBillRateId, kBillRateBill}))
                   : nullptr;
    Statement summaries =
        summarized ? Prepare(db, StatementOn(kBillRatesTable,
                                             "select {0},{1},{2},{3},{4} from {} where {5}>=?1 "
                                             "and {5}<=?2",
                                             {kBillRateBill, kBillRateHundredths, kBillRateCost,
                                              kBillRateTax, kBillRateWithTax, kBillRateId}))
                   : nullptr;
    if (!voids || !ends || !written || !indexed || (summarized && (!summary_ends || !summaries)))
        return std::nullopt;
    in_range(voids, f.last_bill);
    int rc;
    while ((rc = sqlite3_step(voids.get())) == SQLITE_ROW) {
        is_void[static_cast<std::size_t>(sqlite3_column_int64(voids.get(), 0) - after - 1)] = 1;
    }
    if (rc != SQLITE_DONE) return std::nullopt;
    in_range(ends, calls_to);
    if (sqlite3_step(ends.get()) != SQLITE_ROW) return std::nullopt;
    const bool any_calls = sqlite3_column_type(ends.get(), 0) != SQLITE_NULL;
    sqlite3_bind_int64(written.get(), 3, sqlite3_column_int64(ends.get(), 0));
    sqlite3_bind_int64(written.get(), 4, sqlite3_column_int64(ends.get(), 1));
    std::future<BillsRead> beside = ReadBillsBeside(db, after, f.last_bill, calls_to);

    std::vector<RateFigures> rates;
    // The calls read, or -1 when the store could not be read.
    auto read_calls = [&](Statement& calls, std::int64_t to) -> std::int64_t {
        rates.clear();
        std::fill(has_calls.begin(), has_calls.end(), 0);
        std::int64_t read = 0;
        int step;
        while ((step = sqlite3_step(calls.get())) == SQLITE_ROW) {
            const std::int64_t bill = sqlite3_column_int64(calls.get(), 0);
            if (bill <= after || bill > to) continue;
            ++read;
            const auto at = static_cast<std::size_t>(bill - after - 1);
            has_calls[at] = 1;
            if (is_void[at]) continue;  // a void's calls are in its own line
            const Cents cost = CentsOf(sqlite3_column_double(calls.get(), 1));
            const Cents tax = CentsOf(sqlite3_column_double(calls.get(), 2));
            AddToRate(rates, RateOf(cost, tax), cost, tax,
                      CentsOf(sqlite3_column_double(calls.get(), 3)));
        }
        return step == SQLITE_DONE ? read : -1;
    };
    // The summarized bills' rates, after those of the older bills' calls: the rows read, or -1.
    std::vector<char> has_summary(span, 0);
    auto read_summaries = [&]() -> std::int64_t {
        sqlite3_bind_int64(summary_ends.get(), 1, calls_to);
        sqlite3_bind_int64(summary_ends.get(), 2, f.last_bill);
        if (sqlite3_step(summary_ends.get()) != SQLITE_ROW) return -1;
        sqlite3_bind_int64(summaries.get(), 1, sqlite3_column_int64(summary_ends.get(), 0));
        sqlite3_bind_int64(summaries.get(), 2, sqlite3_column_int64(summary_ends.get(), 1));
        std::int64_t rows = 0;
        int step;
        while ((step = sqlite3_step(summaries.get())) == SQLITE_ROW) {
            const std::int64_t bill = sqlite3_column_int64(summaries.get(), 0);
            if (bill <= calls_to || bill > f.last_bill) continue;
            ++rows;
            const auto at = static_cast<std::size_t>(bill - after - 1);
            has_summary[at] = 1;
            if (sqlite3_column_type(summaries.get(), 1) == SQLITE_NULL) continue;  // no calls
            has_calls[at] = 1;
            if (is_void[at]) continue;
            AddToRate(rates, sqlite3_column_int(summaries.get(), 1),
                      sqlite3_column_int64(summaries.get(), 2),
                      sqlite3_column_int64(summaries.get(), 3),
                      sqlite3_column_int64(summaries.get(), 4));
        }
        return step == SQLITE_DONE ? rows : -1;
    };
    std::int64_t read = any_calls ? read_calls(written, calls_to) : 0;
    const std::int64_t summary_rows = summarized && read >= 0 ? read_summaries() : 0;
    if (summary_rows < 0) read = -1;
    BillsRead stored = beside.valid() ? beside.get() : BillsRead{};
    if (!stored.ok) stored = ReadBills(db, after, f.last_bill, calls_to);
    if (!stored.ok) return std::nullopt;
    // A summarized bill without its summary (written by a program that knows none), or rows
    // moved: the whole period is read from its calls, which are the bills' own record.
    bool lacking = summary_rows != stored.summary_rows;
    for (std::size_t at = static_cast<std::size_t>(calls_to - after); at < span; ++at) {
        lacking |= stored.bills[at].stored && !has_summary[at];
    }
    if (read >= 0 && (read != stored.calls_in_period || lacking)) {
        in_range(indexed, f.last_bill);
        read = read_calls(indexed, f.last_bill);
    }
    if (read < 0) return std::nullopt;
    f.rates = std::move(rates);
    for (std::size_t at = 0; at < span; ++at) {
        const BillsRead::Bill& b = stored.bills[at];
        if (!b.stored) continue;
        if (f.first_bill == 0) f.first_bill = after + 1 + static_cast<std::int64_t>(at);
        if (is_void[at]) {
            ++f.voids;
            f.void_total += b.with_tax;
            continue;
        }
        ++f.bills;
        f.total_cost += b.cost;
        f.total_tax += b.tax;
        f.total_with_tax += b.with_tax;
        if (!has_calls[at]) AddToRate(f.rates, std::nullopt, b.cost, b.tax, b.with_tax);
    }
    std::sort(f.rates.begin(), f.rates.end(), [](const RateFigures& a, const RateFigures& b) {
        return a.hundredths.value_or(INT32_MAX) < b.hundredths.value_or(INT32_MAX);
    });
    f.net_total = f.total_with_tax + f.void_total;
    return f;
}

// The close's own columns, the seal left out, as its canonical form lists them.
std::string SealedColumns() {
    std::string list = ColumnList(kDayClosesTable);
    return list.substr(0, list.rfind(','));
}

// The seal of close `number` over `previous` (the seal of the close before it) and the seal of
// the period's last bill, from the rows as stored.
std::optional<Digest> CloseSealOf(sqlite3* db, std::int64_t number, const Digest& previous) {
    Statement row = Prepare(
        db, StatementOn(kDayClosesTable, "select " + SealedColumns() + " from {} where {0}=?",
                        {kCloseNumber}));
    Statement rates =
        Prepare(db, StatementOn(kCloseRatesTable, "select * from {} where {1}=? order by {0}",
                                {kRateId, kRateClose}));
    Statement bill_seal = Prepare(
        db, StatementOn(kSealsTable, "select {1} from {} where {0}=?", {kSealBill, kSealValue}));
    if (!row || !rates || !bill_seal) return std::nullopt;
    sqlite3_bind_int64(row.get(), 1, number);
    if (sqlite3_step(row.get()) != SQLITE_ROW) return std::nullopt;
    std::string message(previous.begin(), previous.end());
    Digest last_bill{};
    sqlite3_bind_int64(bill_seal.get(), 1, sqlite3_column_int64(row.get(), kCloseLastBill));
    if (sqlite3_step(bill_seal.get()) == SQLITE_ROW &&
        sqlite3_column_bytes(bill_seal.get(), 0) == static_cast<int>(last_bill.size())) {
        std::memcpy(last_bill.data(), sqlite3_column_blob(bill_seal.get(), 0), last_bill.size());
    }
    message.append(last_bill.begin(), last_bill.end());
    AppendCanonicalRow(message, 'Z', row.get());
    sqlite3_bind_int64(rates.get(), 1, number);
    int rc;
    while ((rc = sqlite3_step(rates.get())) == SQLITE_ROW) {
        AppendCanonicalRow(message, 'R', rates.get(), 1);  // its own key left out
    }
    if (rc != SQLITE_DONE) return std::nullopt;
    return Sha256(message);
}

Digest DigestOf(sqlite3_stmt* s, int column) {
    Digest d{};
    if (sqlite3_column_bytes(s, column) == static_cast<int>(d.size()))
        std::memcpy(d.data(), sqlite3_column_blob(s, column), d.size());
    return d;
}

// A close's row (every column, in the table's order) into a DayClose.
DayClose CloseFromRow(sqlite3_stmt* s) {
    auto i64 = [&](DayCloseColumn c) { return sqlite3_column_int64(s, c); };
    DayClose z;
    z.number = i64(kCloseNumber);
    z.closed_at = Text(s, kCloseTime);
    z.operator_name = Text(s, kCloseOperator);
    z.note = Text(s, kCloseNote);
    DayFigures& f = z.figures;
    f.after_bill = i64(kCloseAfterBill);
    f.last_bill = i64(kCloseLastBill);
    f.start = Text(s, kCloseStart);
    f.end = z.closed_at;
    f.bills = i64(kCloseBills);
    f.voids = i64(kCloseVoids);
    f.first_bill = i64(kCloseFirstBill);
    f.total_cost = i64(kCloseTotalCost);
    f.total_tax = i64(kCloseTotalTax);
    f.total_with_tax = i64(kCloseTotalWithTax);
    f.void_total = i64(kCloseVoidTotal);
    f.net_total = i64(kCloseNetTotal);
    f.opening_float = i64(kCloseOpeningFloat);
    f.expected_cash = i64(kCloseExpectedCash);
    z.counted_cash = i64(kCloseCountedCash);
    z.difference = i64(kCloseDifference);
    z.next_float = i64(kCloseNextFloat);
    z.seal = DigestOf(s, kCloseSeal);
    return z;
}

std::string SelectCloses(std::string_view where) {
    return StatementOn(kDayClosesTable,
                       "select " + ColumnList(kDayClosesTable) + " from {} " + std::string(where),
                       {kCloseNumber});
}

// The newest close, if any; false when the store cannot be read.
bool LastClose(sqlite3* db, std::optional<DayClose>& last) {
    Statement s = Prepare(db, SelectCloses("order by {0} desc limit 1"));
    if (!s) return false;
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW) last = CloseFromRow(s.get());
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

std::optional<std::int64_t> NewestBill(sqlite3* db) {
    Statement s = Prepare(db, NewestKeyStatement(kBillsTable));
    if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    return sqlite3_column_int64(s.get(), 0);
}

std::string IssuedOf(sqlite3* db, std::int64_t id) {
    Statement s = Prepare(
        db, StatementOn(kBillsTable, "select {1} from {} where {0}=?", {kBillId, kBillIssued}));
    if (!s) return "";
    sqlite3_bind_int64(s.get(), 1, id);
    return sqlite3_step(s.get()) == SQLITE_ROW ? Text(s.get(), 0) : "";
}

// The figures from the last close (or the store's start) to the newest bill, ending `now`.
std::optional<DayFigures> FiguresSinceLastClose(sqlite3* db, std::string_view now,
                                                bool from_calls = false) {
    std::optional<DayClose> last;
    if (!LastClose(db, last)) return std::nullopt;
    const auto newest = NewestBill(db);
    if (!newest) return std::nullopt;
    const std::int64_t after = last ? last->figures.last_bill : 0;
    auto f = FiguresOf(db, after, *newest, from_calls);
    if (!f) return std::nullopt;
    f->start = last ? last->closed_at : IssuedOf(db, f->first_bill);
    f->end = now;
    f->opening_float = last ? last->next_float : 0;
    f->expected_cash = f->opening_float + f->net_total;
    return f;
}

}  // namespace

Cents CentsOf(double stored) {
    // llround's halves away from zero, without a library call for each of a period's amounts:
    // the fraction left by truncation is exact below 2^53.
    const double v = stored * 100.0;
    if (!(std::fabs(v) < 4e15)) return static_cast<Cents>(std::llround(v));
    auto cents = static_cast<Cents>(v);
    const double rest = v - static_cast<double>(cents);
    if (rest >= 0.5) ++cents;
    if (rest <= -0.5) --cents;
    return cents;
}

sqlite::Db OpenForDayClose(const std::string& path, bool write) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.c_str(), &raw,
                    (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    sqlite::Db db(raw);
    if (db && sqlite3_errcode(db.get()) == SQLITE_OK) {
        sqlite3_busy_timeout(db.get(), kBusyWaitMs);
        Exec(db.get(), "pragma mmap_size=268435456");
    }
    return db;
}

std::string FormatCents(Cents cents) {
    const Cents whole = cents < 0 ? -cents : cents;
    std::string out = cents < 0 ? "-" : "";
    out += std::to_string(whole / 100);
    out += whole % 100 < 10 ? ".0" : ".";
    out += std::to_string(whole % 100);
    return out;
}

std::optional<Cents> ParseCents(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative || (!text.empty() && text.front() == '+')) text.remove_prefix(1);
    const std::size_t mark = text.find_first_of(".,");
    const std::string_view whole = text.substr(0, mark);
    const std::string_view part = mark == std::string_view::npos ? "" : text.substr(mark + 1);
    auto digits = [](std::string_view d) {
        return d.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if ((whole.empty() && part.empty()) || whole.size() > 12 || part.size() > 2 || !digits(whole) ||
        !digits(part) || (mark != std::string_view::npos && part.empty())) {
        return std::nullopt;
    }
    Cents cents = 0;
    for (char c : whole) cents = cents * 10 + (c - '0');
    cents *= 100;
    if (!part.empty()) cents += (part[0] - '0') * 10 + (part.size() > 1 ? part[1] - '0' : 0);
    return negative ? -cents : cents;
}

std::string RateText(const std::optional<int>& hundredths) {
    return hundredths ? FormatCents(*hundredths) + " %" : "no calls";
}

std::optional<DayFigures> CurrentFigures(sqlite3* db, std::string_view now, std::string* error) {
    // One read: a bill stored meanwhile is either in every figure or in none.
    const bool own_read = sqlite3_get_autocommit(db) != 0;
    if (own_read) Exec(db, "begin");
    auto f = HasClosesTable(db) ? FiguresSinceLastClose(db, now) : std::nullopt;
    if (!f && error) *error = sqlite3_errmsg(db);
    if (own_read) Exec(db, "rollback");
    return f;
}

CloseOutcome CloseDay(sqlite3* db, const CloseRequest& request,
                      const std::function<void()>& before_commit) {
    CloseOutcome out;
    auto failed = [&] {
        out.error = sqlite3_errmsg(db);
        if (!sqlite3_get_autocommit(db)) Exec(db, "rollback");
        out.close = DayClose{};
        return out;
    };
    // The write lock first: no bill can be stored between reading the period and closing it.
    if (!Exec(db, "begin immediate")) return failed();
    std::optional<DayClose> last;
    if (!LastClose(db, last)) return failed();
    // What is sealed comes from the calls themselves: a summary changed behind the console's
    // back may show in an X report, never in a close.
    auto figures = FiguresSinceLastClose(db, request.now, true);
    if (!figures) return failed();
    DayClose& z = out.close;
    z.number = last ? last->number + 1 : 1;
    z.closed_at = request.now;
    z.operator_name = request.operator_name;
    z.note = request.note;
    z.figures = *figures;
    z.counted_cash = request.counted_cash;
    z.difference = request.counted_cash - figures->expected_cash;
    z.next_float = request.next_float;

    std::string placeholders;
    for (std::size_t i = 0; i < kDayCloseColumnCount; ++i) placeholders += i ? ",?" : "?";
    Statement insert =
        Prepare(db, StatementOn(kDayClosesTable, "insert into {}(" + ColumnList(kDayClosesTable) +
                                                     ") values(" + placeholders + ")"));
    if (!insert) return failed();
    const DayFigures& f = z.figures;
    auto put = [&](DayCloseColumn c, std::int64_t v) {
        sqlite3_bind_int64(insert.get(), static_cast<int>(c) + 1, v);
    };
    put(kCloseNumber, z.number);
    Bind(insert.get(), kCloseTime + 1, z.closed_at);
    Bind(insert.get(), kCloseOperator + 1, z.operator_name);
    put(kCloseAfterBill, f.after_bill);
    put(kCloseLastBill, f.last_bill);
    Bind(insert.get(), kCloseStart + 1, f.start);
    put(kCloseBills, f.bills);
    put(kCloseVoids, f.voids);
    put(kCloseFirstBill, f.first_bill);
    put(kCloseTotalCost, f.total_cost);
    put(kCloseTotalTax, f.total_tax);
    put(kCloseTotalWithTax, f.total_with_tax);
    put(kCloseVoidTotal, f.void_total);
    put(kCloseNetTotal, f.net_total);
    put(kCloseOpeningFloat, f.opening_float);
    put(kCloseExpectedCash, f.expected_cash);
    put(kCloseCountedCash, z.counted_cash);
    put(kCloseDifference, z.difference);
    Bind(insert.get(), kCloseNote + 1, z.note);
    put(kCloseNextFloat, z.next_float);
    sqlite3_bind_zeroblob(insert.get(), kCloseSeal + 1, static_cast<int>(Digest{}.size()));
    if (sqlite3_step(insert.get()) != SQLITE_DONE) return failed();

    Statement rate = Prepare(db, InsertStatement(kCloseRatesTable));
    if (!rate) return failed();
    for (const RateFigures& r : f.rates) {
        sqlite3_reset(rate.get());
        sqlite3_bind_int64(rate.get(), 1, z.number);
        if (r.hundredths) {
            sqlite3_bind_int64(rate.get(), 2, *r.hundredths);
        } else {
            sqlite3_bind_null(rate.get(), 2);
        }
        sqlite3_bind_int64(rate.get(), 3, r.cost);
        sqlite3_bind_int64(rate.get(), 4, r.tax);
        sqlite3_bind_int64(rate.get(), 5, r.with_tax);
        if (sqlite3_step(rate.get()) != SQLITE_DONE) return failed();
    }
    // Sealed from the rows as stored, as the check reads them back.
    const auto seal = CloseSealOf(db, z.number, last ? last->seal : Digest{});
    if (!seal) return failed();
    z.seal = *seal;
    Statement sealing = Prepare(db, StatementOn(kDayClosesTable, "update {} set {1}=? where {0}=?",
                                                {kCloseNumber, kCloseSeal}));
    if (!sealing) return failed();
    sqlite3_bind_blob(sealing.get(), 1, seal->data(), static_cast<int>(seal->size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(sealing.get(), 2, z.number);
    if (sqlite3_step(sealing.get()) != SQLITE_DONE) return failed();
    if (before_commit) before_commit();
    if (!Exec(db, "commit")) return failed();
    return out;
}

std::optional<DayClose> ReadClose(sqlite3* db, std::int64_t number) {
    Statement s = Prepare(db, SelectCloses("where {0}=?"));
    Statement rates = Prepare(
        db, StatementOn(kCloseRatesTable, "select {2},{3},{4},{5} from {} where {1}=? order by {0}",
                        {kRateId, kRateClose, kRateHundredths, kRateCost, kRateTax, kRateWithTax}));
    if (!s || !rates) return std::nullopt;
    sqlite3_bind_int64(s.get(), 1, number);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    DayClose z = CloseFromRow(s.get());
    sqlite3_bind_int64(rates.get(), 1, number);
    while (sqlite3_step(rates.get()) == SQLITE_ROW)
        z.figures.rates.push_back(RateFiguresAt(rates.get(), 0));
    return z;
}

std::vector<DayClose> CloseHistory(sqlite3* db) {
    std::vector<DayClose> closes;
    Statement s = Prepare(db, SelectCloses("order by {0}"));
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) closes.push_back(CloseFromRow(s.get()));
    return closes;
}

std::int64_t LastCloseNumber(sqlite3* db) {
    std::optional<DayClose> last;
    return LastClose(db, last) && last ? last->number : 0;
}

std::vector<std::int64_t> MissingCloses(sqlite3* db, std::int64_t highest_known) {
    std::vector<std::int64_t> missing;
    std::int64_t expected = 1;
    Statement s = Prepare(
        db, StatementOn(kDayClosesTable, "select {0} from {} order by {0}", {kCloseNumber}));
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) {
        const std::int64_t number = sqlite3_column_int64(s.get(), 0);
        for (; expected < number; ++expected) missing.push_back(expected);
        expected = number + 1;
    }
    for (; expected <= highest_known; ++expected) missing.push_back(expected);
    return missing;
}

CloseCheck VerifyCloses(sqlite3* db) {
    CloseCheck check;
    if (!HasClosesTable(db)) return check;
    auto fault = [&](std::int64_t number, const std::string& what) {
        check.intact = false;
        check.first_bad = number;
        check.what = "day close " + std::to_string(number) + " " + what;
        return check;
    };
    Statement s =
        Prepare(db, StatementOn(kDayClosesTable, "select {0},{1},{2},{3} from {} order by {0}",
                                {kCloseNumber, kCloseAfterBill, kCloseLastBill, kCloseSeal}));
    if (!s) return fault(0, std::string("cannot be read: ") + sqlite3_errmsg(db));
    Digest previous{};
    std::int64_t previous_number = 0, previous_last = 0;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        const std::int64_t number = sqlite3_column_int64(s.get(), 0);
        if (number != previous_number + 1) {
            return fault(previous_number + 1, "was removed: day close " + std::to_string(number) +
                                                  " follows day close " +
                                                  std::to_string(previous_number));
        }
        if (sqlite3_column_int64(s.get(), 1) != previous_last) {
            return fault(number, "does not start where day close " +
                                     std::to_string(previous_number) + " ended");
        }
        const auto expected = CloseSealOf(db, number, previous);
        const Digest stored = DigestOf(s.get(), 3);
        if (!expected || *expected != stored) {
            return fault(number, "was changed: its figures no longer match its seal");
        }
        previous = stored;
        previous_number = number;
        previous_last = sqlite3_column_int64(s.get(), 2);
        ++check.closes;
    }
    if (rc != SQLITE_DONE) return fault(0, std::string("cannot be read: ") + sqlite3_errmsg(db));
    return check;
}

}  // namespace tlx::billing
