// Closing the day: the takings since the last close (the X figures), and the close itself (a
// numbered, sealed day_closes row with the counted cash, in one transaction). A period is a
// range of bill ids, so its figures cost the same whatever the store's age. Every amount is
// summed in whole cents from the stored two-decimal amounts, so a report's totals equal the
// sums of the printed bills.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/sha256.h"
#include "core/billing/sqlite_handles.h"

namespace tlx::billing {

using Cents = std::int64_t;

// A stored two-decimal amount in whole cents (halves away from zero).
Cents CentsOf(double stored);
// The store as the day close reads it: a connection for one thread (no lock taken on every
// call), the file mapped so that a long period is read without copies. Check sqlite3_errcode:
// a store that cannot be opened still gives a handle, which says why.
sqlite::Db OpenForDayClose(const std::string& path, bool write);
// "12.34", "-0.05": cents with a full stop, whatever the locale.
std::string FormatCents(Cents cents);
// An amount the operator typed: optional sign, digits, at most two decimals after a full stop
// or a comma ("61,5" is 6150). Nullopt for anything else.
std::optional<Cents> ParseCents(std::string_view text);

// The takings of one tax rate; the rate in hundredths of a percent (2000 is 20.00 %), nullopt
// for the bills without calls.
struct RateFigures {
    std::optional<int> hundredths;
    Cents cost = 0, tax = 0, with_tax = 0;
    friend bool operator==(const RateFigures&, const RateFigures&) = default;
};
// "20.00 %", or "no calls".
std::string RateText(const std::optional<int>& hundredths);

// The X figures: the bills after `after_bill` up to `last_bill`. Bills are the period's sales,
// voids the voids made in it (a void is a bill of its own, so it counts where it was made,
// whatever the period of the bill it cancels). The totals and the rates are the sales';
// net = sales incl. taxes + voids (negative); expected cash = opening float + net.
struct DayFigures {
    std::int64_t after_bill = 0, last_bill = 0;
    std::string start, end;  // local times as the store keeps them ("" when unknown)
    std::int64_t bills = 0, voids = 0;
    std::int64_t first_bill = 0;  // the period's first bill of any kind (0: none)
    Cents total_cost = 0, total_tax = 0, total_with_tax = 0;
    std::vector<RateFigures> rates;  // by rate, lowest first; "no calls" last
    Cents void_total = 0, net_total = 0, opening_float = 0, expected_cash = 0;
    friend bool operator==(const DayFigures&, const DayFigures&) = default;
};

// A stored close (a Z record). Texts are UTF-8, as stored.
struct DayClose {
    std::int64_t number = 0;
    std::string closed_at, operator_name, note;
    DayFigures figures;  // figures.end is closed_at
    Cents counted_cash = 0, difference = 0, next_float = 0;
    Digest seal{};
};

// The figures since the last close up to the newest bill; `now` (stored form) is their end.
// Nullopt, with SQLite's message in `error`, when the store cannot be read or has no closes
// table (a store of an earlier edition).
std::optional<DayFigures> CurrentFigures(sqlite3* db, std::string_view now,
                                         std::string* error = nullptr);

struct CloseRequest {
    std::string operator_name, note;  // UTF-8
    std::string now;                  // stored form
    Cents counted_cash = 0, next_float = 0;
};
struct CloseOutcome {
    DayClose close;     // number 0 when nothing was stored
    std::string error;  // why not
};
// The close in one transaction: the period ends at the newest bill at that moment, the row is
// numbered after the store's own last close, sealed and stored with its rates. `before_commit`,
// when given, runs with everything written and nothing committed (the tests end the process
// there). Nothing is written when anything fails.
CloseOutcome CloseDay(sqlite3* db, const CloseRequest& request,
                      const std::function<void()>& before_commit = {});

// One stored close with its rates; nullopt when there is none of that number.
std::optional<DayClose> ReadClose(sqlite3* db, std::int64_t number);
// Every stored close, oldest first, without their rates (for the history list).
std::vector<DayClose> CloseHistory(sqlite3* db);
// The store's own last close number (0 without closes or their table).
std::int64_t LastCloseNumber(sqlite3* db);
// The close numbers the store lacks: gaps in its own numbering, and those after its last up to
// `highest_known` (the highest the console has seen: a restored older store lacks them).
std::vector<std::int64_t> MissingCloses(sqlite3* db, std::int64_t highest_known);

// The closes recomputed: each seal over its predecessor's, its last bill's seal and its rows,
// each period starting where the one before ended.
struct CloseCheck {
    bool intact = true;
    std::int64_t closes = 0;
    std::int64_t first_bad = 0;
    std::string what;  // "day close N was changed", ...
};
CloseCheck VerifyCloses(sqlite3* db);

}  // namespace tlx::billing
