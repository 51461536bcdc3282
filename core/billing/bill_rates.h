// Each bill's calls summed by tax rate (columns.h, bill_rates): written with the bill in its
// own transaction, read by the X figures in place of the period's calls, and held against the
// calls by the store's check, so that a summary never disagrees with its calls unnoticed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/billing/day_close.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tlx::billing {

// A call's tax rate: tax / cost in hundredths of a percent, halves away from zero; 0 for a
// call that cost nothing.
int RateOf(Cents cost, Cents tax);
// One rate's figures from the current row: rate (NULL for no calls), cost, tax and cost with
// tax in cents, from column `first` on.
RateFigures RateFiguresAt(sqlite3_stmt* s, int first);
// Adds amounts to the figures of their rate (a new line for a rate not seen yet).
void AddToRate(std::vector<RateFigures>& rates, std::optional<int> rate, Cents cost, Cents tax,
               Cents with_tax);

// Writes bill `id`'s summary from its calls as the store holds them now, inside the writer's
// open transaction. SQLITE_OK, and nothing written, when the store has no summary table (an
// earlier edition); else SQLite's extended result code with the store's message in `error`.
int SummarizeBill(sqlite3* db, std::int64_t id, std::string* error = nullptr);

// The first bill with a summary: every bill after it has one, those before it never had. 0
// when there is none (no bill stored since the store gained the table, or no table).
std::int64_t FirstSummarizedBill(sqlite3* db);

// Every summary recomputed from its bill's calls. `what` names the first bill whose summary
// differs, or a summary of no stored bill; a bill without one is no fault (see WalkRates).
struct RatesCheck {
    bool intact = true;
    std::int64_t first_bad = 0;
    std::string what;
};
RatesCheck VerifyBillRates(sqlite3* db);

}  // namespace tlx::billing
