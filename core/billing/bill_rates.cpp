#include "core/billing/bill_rates.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>

#include "core/billing/columns.h"
#include "core/billing/sqlite_handles.h"

namespace tlx::billing {
namespace {

using sqlite::Prepare;
using sqlite::Statement;

// A bill's lines as stored: by rate, lowest first; a bill without calls has the one line
// "no calls" with nothing in it.
void Order(std::vector<RateFigures>& rates) {
    if (rates.empty()) rates.push_back({});
    std::sort(rates.begin(), rates.end(), [](const RateFigures& a, const RateFigures& b) {
        return a.hundredths.value_or(INT_MIN) < b.hundredths.value_or(INT_MIN);
    });
}

// Adds the current row's call (cost, tax, with tax from column `first` on) to its rate.
void AddCall(std::vector<RateFigures>& rates, sqlite3_stmt* s, int first) {
    const Cents cost = CentsOf(sqlite3_column_double(s, first));
    const Cents tax = CentsOf(sqlite3_column_double(s, first + 1));
    AddToRate(rates, RateOf(cost, tax), cost, tax, CentsOf(sqlite3_column_double(s, first + 2)));
}

std::string CallAmounts(std::string_view where) {
    return StatementOn(kCallsTable, "select {0},{1},{2},{3} from {} " + std::string(where),
                       {kCallBill, kCallCost, kCallTax, kCallWithTax, kCallId});
}

}  // namespace

RateFigures RateFiguresAt(sqlite3_stmt* s, int first) {
    RateFigures r;
    if (sqlite3_column_type(s, first) != SQLITE_NULL) r.hundredths = sqlite3_column_int(s, first);
    r.cost = sqlite3_column_int64(s, first + 1);
    r.tax = sqlite3_column_int64(s, first + 2);
    r.with_tax = sqlite3_column_int64(s, first + 3);
    return r;
}

int RateOf(Cents cost, Cents tax) {
    if (cost == 0) return 0;
    std::int64_t num = tax * 10000, den = cost;
    if (den < 0) num = -num, den = -den;
    const std::int64_t rounded =
        num >= 0 ? (2 * num + den) / (2 * den) : -((2 * -num + den) / (2 * den));
    return static_cast<int>(rounded);
}

void AddToRate(std::vector<RateFigures>& rates, std::optional<int> rate, Cents cost, Cents tax,
               Cents with_tax) {
    auto it = std::find_if(rates.begin(), rates.end(),
                           [&](const RateFigures& r) { return r.hundredths == rate; });
    if (it == rates.end()) it = rates.insert(rates.end(), RateFigures{rate});
    it->cost += cost;
    it->tax += tax;
    it->with_tax += with_tax;
}

int SummarizeBill(sqlite3* db, std::int64_t id, std::string* error) {
    // The table's absence is an earlier edition, not a fault.
    if (!Prepare(db, StatementOn(kBillRatesTable, "select 1 from {} limit 0"))) return SQLITE_OK;
    auto failed = [&] {
        const int code = sqlite3_extended_errcode(db);
        if (error) *error = sqlite3_errmsg(db);
        return code == SQLITE_OK ? SQLITE_ERROR : code;
    };
    Statement calls = Prepare(db, CallAmounts("where {0}=?"));
    Statement insert = Prepare(db, InsertStatement(kBillRatesTable));
    if (!calls || !insert) return failed();
    sqlite3_bind_int64(calls.get(), 1, id);
    std::vector<RateFigures> rates;
    int rc;
    while ((rc = sqlite3_step(calls.get())) == SQLITE_ROW) AddCall(rates, calls.get(), 1);
    if (rc != SQLITE_DONE) return failed();
    Order(rates);
    for (const RateFigures& r : rates) {
        sqlite3_reset(insert.get());
        sqlite3_bind_int64(insert.get(), kBillRateBill, id);
        if (r.hundredths) {
            sqlite3_bind_int64(insert.get(), kBillRateHundredths, *r.hundredths);
        } else {
            sqlite3_bind_null(insert.get(), kBillRateHundredths);
        }
        sqlite3_bind_int64(insert.get(), kBillRateCost, r.cost);
        sqlite3_bind_int64(insert.get(), kBillRateTax, r.tax);
        sqlite3_bind_int64(insert.get(), kBillRateWithTax, r.with_tax);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) return failed();
    }
    return SQLITE_OK;
}

std::int64_t FirstSummarizedBill(sqlite3* db) {
    Statement s =
        Prepare(db, StatementOn(kBillRatesTable, "select min({0}) from {}", {kBillRateBill}));
    return s && sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int64(s.get(), 0) : 0;
}

namespace {

// Bills, their calls and their summaries from bill `first` on, walked together. In
// `written_order` the calls and summaries are read as they were written, each bill's right
// after it (no index, so about half the cost at a million bills); a row met behind its bill
// sets `disordered` and ends the walk, to be walked again in bill order, which names any fault.
RatesCheck WalkRates(sqlite3* db, std::int64_t first, bool written_order, bool& disordered) {
    RatesCheck check;
    auto fault = [&](std::int64_t bill, const std::string& what) {
        check.intact = false;
        check.first_bad = bill;
        check.what = what;
        return check;
    };
    Statement bills = Prepare(
        db, StatementOn(kBillsTable, "select {0} from {} where {0}>=? order by {0}", {kBillId}));
    Statement calls = Prepare(
        db, written_order ? CallAmounts("where {4}>=(select min({4}) from {} where {0}=(select "
                                        "min({0}) from {} where {0}>=?1))")
                          : CallAmounts("where {0}>=? order by {0},{4}"));
    Statement stored = Prepare(
        db, StatementOn(kBillRatesTable,
                        written_order ? "select {1},{2},{3},{4},{5} from {} where {0}>=(select "
                                        "{0} from {} where {1}>=?1 order by {1} limit 1)"
                                      : "select {1},{2},{3},{4},{5} from {} where {1}>=? order "
                                        "by {1},{0}",
                        {kBillRateId, kBillRateBill, kBillRateHundredths, kBillRateCost,
                         kBillRateTax, kBillRateWithTax}));
    if (!bills || !calls || !stored) {
        return fault(0, std::string("the rate summaries cannot be read: ") + sqlite3_errmsg(db));
    }
    bool read_error = false;
    auto step = [&](const Statement& s) {
        const int rc = sqlite3_step(s.get());
        read_error |= rc != SQLITE_ROW && rc != SQLITE_DONE;
        return rc == SQLITE_ROW;
    };
    for (sqlite3_stmt* s : {bills.get(), calls.get(), stored.get()})
        sqlite3_bind_int64(s, 1, first);
    bool call = step(calls), row = step(stored);
    auto of = [](const Statement& s) { return sqlite3_column_int64(s.get(), 0); };
    auto not_stored = [&](std::int64_t id) {
        return fault(id,
                     "bill " + std::to_string(id) + " has a rate summary but is not in the store");
    };
    std::int64_t previous = 0;
    while (step(bills)) {
        const std::int64_t id = of(bills);
        std::vector<RateFigures> expected, found;
        for (; call && of(calls) <= id; call = step(calls)) {
            if (of(calls) == id) {
                AddCall(expected, calls.get(), 1);
            } else if (written_order && of(calls) >= first) {
                disordered = true;  // a call of an earlier bill, written later
            }
        }
        if (row && of(stored) < id) {
            if (!written_order) return not_stored(of(stored));
            disordered = true;
        }
        for (; row && of(stored) == id; row = step(stored))
            found.push_back(RateFiguresAt(stored.get(), 1));
        if (disordered) return check;
        // A bill without a summary was written by a program that knows none (an older console
        // on the same store): the X figures read its calls, so nothing is wrong.
        const bool summarized = !found.empty();
        Order(expected);
        Order(found);
        if (summarized && found != expected) {
            return fault(id,
                         "bill " + std::to_string(id) + "'s rate summary does not match its calls");
        }
        previous = id;
    }
    if (read_error) {
        return fault(0, std::string("the rate summaries cannot be read: ") + sqlite3_errmsg(db));
    }
    if (row) {
        if (written_order && of(stored) <= previous) {
            disordered = true;
            return check;
        }
        return not_stored(of(stored));
    }
    return check;
}

}  // namespace

RatesCheck VerifyBillRates(sqlite3* db) {
    const std::int64_t first = FirstSummarizedBill(db);
    if (first == 0) return {};
    bool disordered = false;
    RatesCheck check = WalkRates(db, first, true, disordered);
    if (!check.intact || disordered) check = WalkRates(db, first, false, disordered);
    return check;
}

}  // namespace tlx::billing
