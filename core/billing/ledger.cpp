#include "core/billing/ledger.h"

#include <sqlite3.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/billing/bill_rates.h"
#include "core/billing/columns.h"
#include "core/billing/day_close.h"
#include "core/billing/sqlite_handles.h"

namespace tlx::billing {
namespace {

using sqlite::Db;
using sqlite::Exec;
using sqlite::Prepare;
using sqlite::Statement;

bool HasTable(sqlite3* db, const StoreTable& table) {
    Statement s = Prepare(db, "select 1 from sqlite_schema where type='table' and name=?");
    if (!s) return false;
    sqlite3_bind_text(s.get(), 1, table.name.data(), static_cast<int>(table.name.size()),
                      SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

// --- The canonical form (README.md, "The second edition") ---------------------------------

void PutBigEndian(std::string& out, std::uint64_t value, int bytes) {
    char buffer[8];
    for (int i = 0; i < bytes; ++i) buffer[i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
    out.append(buffer, static_cast<std::size_t>(bytes));
}

}  // namespace

void AppendCanonicalRow(std::string& out, char tag, sqlite3_stmt* s, int first) {
    out += tag;
    const int count = sqlite3_column_count(s);
    for (int i = first; i < count; ++i) {
        const int type = sqlite3_column_type(s, i);
        switch (type) {
            case SQLITE_NULL:
                out += 'N';
                break;
            case SQLITE_INTEGER:
                out += 'I';
                PutBigEndian(out, static_cast<std::uint64_t>(sqlite3_column_int64(s, i)), 8);
                break;
            case SQLITE_FLOAT: {
                out += 'R';
                const double v = sqlite3_column_double(s, i);
                std::uint64_t bits = 0;
                static_assert(sizeof bits == sizeof v);
                std::memcpy(&bits, &v, sizeof v);
                PutBigEndian(out, bits, 8);
                break;
            }
            default: {
                const bool text = type == SQLITE_TEXT;
                const void* data = text ? static_cast<const void*>(sqlite3_column_text(s, i))
                                        : sqlite3_column_blob(s, i);
                const int size = sqlite3_column_bytes(s, i);
                out += text ? 'T' : 'X';
                PutBigEndian(out, static_cast<std::uint32_t>(size), 4);
                if (size > 0)
                    out.append(static_cast<const char*>(data), static_cast<std::size_t>(size));
                break;
            }
        }
    }
}

namespace {

Digest SealOver(const Digest& previous, const std::string& form) {
    std::string message(previous.begin(), previous.end());
    message += form;
    return Sha256(message);
}

// The rows of every bill in id order, each with its calls and, for a void, its link: three
// cursors walked together, so the whole store is read once whatever its size.
// In `written_order` the calls are read as they were written (id_call order, no index): a bill's
// calls are written right after it, so that is the same order at a lower cost, unless rows were
// moved; disordered() then says the walk cannot be trusted.
class BillRows {
  public:
    explicit BillRows(sqlite3* db, bool written_order = false)
        : bills_(Prepare(db, StatementOn(kBillsTable, "select {0}, {1}, * from {} order by {0}",
                                         {kBillId, kBillIssued}))),
          calls_(Prepare(db, StatementOn(kCallsTable,
                                         written_order ? "select {0}, * from {} order by {1}"
                                                       : "select {0}, * from {} order by {0}, {1}",
                                         {kCallBill, kCallId}))),
          voids_(Prepare(
              db, StatementOn(kVoidsTable, "select {0}, * from {} order by {0}", {kVoidBill}))),
          written_order_(written_order),
          db_(db) {
        ok_ = bills_ && calls_ && (voids_ || !HasTable(db, kVoidsTable));
        call_ = Step(calls_);
        void_ = Step(voids_);
    }
    bool ok() const { return ok_; }
    std::string error() const { return sqlite3_errmsg(db_); }

    // The next bill; false at the end or on a read error (ok() tells).
    bool Next() {
        if (!ok_) return false;
        const int rc = sqlite3_step(bills_.get());
        if (rc != SQLITE_ROW) {
            ok_ = rc == SQLITE_DONE;
            return false;
        }
        id_ = sqlite3_column_int64(bills_.get(), 0);
        const auto* issued = sqlite3_column_text(bills_.get(), 1);
        issued_ = issued ? reinterpret_cast<const char*>(issued) : "";
        form_.clear();
        AppendCanonicalRow(form_, 'B', bills_.get(), 2);
        while (call_) {
            const std::int64_t of = sqlite3_column_int64(calls_.get(), 0);
            if (of > id_) break;
            if (of == id_) {
                AppendCanonicalRow(form_, 'C', calls_.get(), 1);
            } else if (written_order_ && of != 0) {
                disordered_ = true;  // a call of an earlier bill, written later
            }
            call_ = Step(calls_);
        }
        while (void_ && sqlite3_column_int64(voids_.get(), 0) < id_) void_ = Step(voids_);
        if (void_ && sqlite3_column_int64(voids_.get(), 0) == id_) {
            AppendCanonicalRow(form_, 'V', voids_.get(), 1);
        }
        return ok_;
    }
    std::int64_t id() const { return id_; }
    const std::string& issued() const { return issued_; }
    const std::string& form() const { return form_; }
    bool disordered() const { return disordered_; }

  private:
    bool Step(const Statement& s) {
        if (!s) return false;
        const int rc = sqlite3_step(s.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) ok_ = false;
        return rc == SQLITE_ROW;
    }

    Statement bills_, calls_, voids_;
    bool written_order_;
    sqlite3* db_;
    bool ok_ = false, call_ = false, void_ = false, disordered_ = false;
    std::int64_t id_ = 0;
    std::string issued_, form_;
};

// Seconds of a stored local time on one continuous count (days from the civil calendar).
std::optional<std::int64_t> SecondsOf(const std::string& stored) {
    const auto t = ParseStored(stored);
    if (!t) return std::nullopt;
    const int y = t->year - (t->month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (t->month + (t->month > 2 ? -3 : 9)) + 2) / 5 + t->day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe;
    return days * 86400 + t->hour * 3600 + t->minute * 60 + t->second;
}

// A bill's seal: its id, the id of the bill sealed before it, the seal.
std::string InsertSeal() {
    return StatementOn(kSealsTable, "insert into {}({0}, {1}, {2}) values(?,?,?)",
                       {kSealBill, kSealPrevious, kSealValue});
}

std::string Id(std::int64_t id) {
    return std::to_string(id);
}

}  // namespace

std::string_view LedgerSchema() {
    static const std::string schema = SchemaOf(2, kCurrentEdition);
    return schema;
}

int StoreEdition(sqlite3* db) {
    if (!HasTable(db, kEditionTable)) return 1;
    Statement s =
        Prepare(db, StatementOn(kEditionTable, "select max({0}) from {}", {kEditionVersion}));
    return s && sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int(s.get(), 0) : 1;
}

std::optional<Digest> SealOf(sqlite3* db, std::int64_t id, const Digest& previous) {
    Statement bill =
        Prepare(db, StatementOn(kBillsTable, "select * from {} where {0}=?", {kBillId}));
    Statement calls =
        Prepare(db, StatementOn(kCallsTable, "select * from {} where {0}=? order by {1}",
                                {kCallBill, kCallId}));
    Statement link =
        HasTable(db, kVoidsTable)
            ? Prepare(db, StatementOn(kVoidsTable, "select * from {} where {0}=?", {kVoidBill}))
            : nullptr;
    if (!bill || !calls) return std::nullopt;
    std::string form;
    sqlite3_bind_int64(bill.get(), 1, id);
    if (sqlite3_step(bill.get()) != SQLITE_ROW) return std::nullopt;
    AppendCanonicalRow(form, 'B', bill.get(), 0);
    sqlite3_bind_int64(calls.get(), 1, id);
    int rc;
    while ((rc = sqlite3_step(calls.get())) == SQLITE_ROW)
        AppendCanonicalRow(form, 'C', calls.get(), 0);
    if (rc != SQLITE_DONE) return std::nullopt;
    if (link) {
        sqlite3_bind_int64(link.get(), 1, id);
        if (sqlite3_step(link.get()) == SQLITE_ROW) AppendCanonicalRow(form, 'V', link.get(), 0);
    }
    return SealOver(previous, form);
}

int SealNewestBill(sqlite3* db, std::int64_t id, std::string* error) {
    if (!HasTable(db, kSealsTable)) return SQLITE_OK;  // a first-edition store has no seals
    // The error as it happens: finalizing the statements afterwards would clear it.
    auto failed = [&] {
        const int code = sqlite3_extended_errcode(db);
        if (error) *error = sqlite3_errmsg(db);
        return code == SQLITE_OK ? SQLITE_ERROR : code;
    };
    Digest previous{};
    std::int64_t previous_id = 0;
    Statement last =
        Prepare(db, StatementOn(kSealsTable, "select {0}, {1} from {} order by {0} desc limit 1",
                                {kSealBill, kSealValue}));
    if (!last) return failed();
    const int rc = sqlite3_step(last.get());
    if (rc == SQLITE_ROW) {
        previous_id = sqlite3_column_int64(last.get(), 0);
        if (sqlite3_column_bytes(last.get(), 1) == static_cast<int>(previous.size())) {
            std::memcpy(previous.data(), sqlite3_column_blob(last.get(), 1), previous.size());
        }
    } else if (rc != SQLITE_DONE) {
        return failed();
    }
    // The bill's rate summary goes with its seal: a bill is stored with both or with neither.
    if (const int summarized = SummarizeBill(db, id, error); summarized != SQLITE_OK) {
        return summarized;
    }
    const auto seal = SealOf(db, id, previous);
    if (!seal) return failed();
    Statement insert = Prepare(db, InsertSeal());
    if (!insert) return failed();
    sqlite3_bind_int64(insert.get(), 1, id);
    sqlite3_bind_int64(insert.get(), 2, previous_id);
    sqlite3_bind_blob(insert.get(), 3, seal->data(), static_cast<int>(seal->size()),
                      SQLITE_TRANSIENT);
    return sqlite3_step(insert.get()) == SQLITE_DONE ? SQLITE_OK : failed();
}

std::string ChainCheck::Text() const {
    return intact ? std::to_string(bills) + " bills, chain intact" : what;
}

namespace {

ChainCheck WalkChain(sqlite3* db, bool written_order, bool& disordered) {
    ChainCheck check;
    auto fault = [&](std::int64_t id, std::string what) {
        check.first_bad_id = id;
        check.what = std::move(what);
        return check;
    };
    if (StoreEdition(db) < kSealsTable.edition || !HasTable(db, kSealsTable)) {
        return fault(0, "the store has no seals: it is of the first edition (billsdb upgrade)");
    }
    // A read of its own, so a writer's commit halfway through cannot show as a fault.
    const bool own_read = sqlite3_get_autocommit(db) != 0;
    if (own_read && !Exec(db, "begin")) {
        return fault(0, std::string("the store cannot be read: ") + sqlite3_errmsg(db));
    }
    struct EndRead {
        sqlite3* db;
        bool own;
        ~EndRead() {
            if (own) sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        }
    } end_read{db, own_read};

    BillRows rows(db, written_order);
    struct NoteOrder {
        const BillRows& rows;
        bool& disordered;
        ~NoteOrder() { disordered = rows.disordered(); }
    } note_order{rows, disordered};
    Statement seals =
        Prepare(db, StatementOn(kSealsTable, "select {0}, {1}, {2} from {} order by {0}",
                                {kSealBill, kSealPrevious, kSealValue}));
    if (!rows.ok() || !seals) {
        return fault(0, std::string("the store cannot be read: ") + sqlite3_errmsg(db));
    }
    Digest previous{};
    std::int64_t previous_id = 0;
    std::optional<std::int64_t> previous_time;
    std::int64_t previous_time_id = 0;
    std::string previous_issued;
    bool bill = rows.Next(), seal = sqlite3_step(seals.get()) == SQLITE_ROW;
    while (bill || seal) {
        const std::int64_t seal_id = seal ? sqlite3_column_int64(seals.get(), 0) : INT64_MAX;
        const std::int64_t bill_id = bill ? rows.id() : INT64_MAX;
        if (seal_id < bill_id) {
            return fault(seal_id, "bill " + Id(seal_id) +
                                      " was removed: its seal is in the store, its row is not");
        }
        if (bill_id < seal_id) {
            return fault(bill_id, "bill " + Id(bill_id) +
                                      " has no seal: it was written behind the store's back");
        }
        const std::int64_t sealed_after = sqlite3_column_int64(seals.get(), 1);
        if (sealed_after != previous_id) {
            if (sealed_after > previous_id && sealed_after < bill_id) {
                return fault(sealed_after, "bill " + Id(sealed_after) +
                                               " was removed with its seal: bill " + Id(bill_id) +
                                               " was sealed after it");
            }
            return fault(bill_id, "bill " + Id(bill_id) +
                                      " is out of order: its seal follows bill " +
                                      Id(sealed_after) + ", not bill " + Id(previous_id));
        }
        const Digest expected = SealOver(previous, rows.form());
        if (sqlite3_column_bytes(seals.get(), 2) != static_cast<int>(expected.size()) ||
            std::memcmp(sqlite3_column_blob(seals.get(), 2), expected.data(), expected.size()) !=
                0) {
            return fault(bill_id, "bill " + Id(bill_id) +
                                      " was changed: its fields, calls or void record no longer "
                                      "match its seal");
        }
        const auto time = SecondsOf(rows.issued());
        if (time && previous_time && *time + kClockSlackSeconds < *previous_time) {
            return fault(bill_id, "bill " + Id(bill_id) + " is out of order: dated " +
                                      rows.issued() + ", before bill " + Id(previous_time_id) +
                                      " (" + previous_issued + ")");
        }
        if (time) {
            previous_time = time;
            previous_time_id = bill_id;
            previous_issued = rows.issued();
        }
        previous = expected;
        previous_id = bill_id;
        ++check.bills;
        bill = rows.Next();
        seal = sqlite3_step(seals.get()) == SQLITE_ROW;
    }
    if (!rows.ok()) return fault(0, "the store cannot be read: " + rows.error());
    check.intact = true;
    return check;
}

}  // namespace

ChainCheck VerifyChain(sqlite3* db) {
    // The calls as written first; a fault, or calls that were moved, are looked at again in
    // each bill's own order, which names the fault for certain.
    bool disordered = false;
    ChainCheck check = WalkChain(db, true, disordered);
    if (!check.intact || disordered) check = WalkChain(db, false, disordered);
    // The day closes hang on the bills' seals: looked at once the bills hold.
    if (check.intact) {
        const CloseCheck closes = VerifyCloses(db);
        if (!closes.intact) {
            check.intact = false;
            check.what = closes.what;
        }
    }
    // The rate summaries, read by the X figures in place of the calls, against those calls.
    if (check.intact) {
        const RatesCheck rates = VerifyBillRates(db);
        if (!rates.intact) {
            check.intact = false;
            check.first_bad_id = rates.first_bad;
            check.what = rates.what;
        }
    }
    return check;
}

UpgradeOutcome UpgradeStore(const std::string& path, int busy_wait_ms) {
    UpgradeOutcome out;
    auto failed = [&](const std::string& why) {
        out.kind = UpgradeOutcome::Kind::kFailed;
        out.message = "The bills store " + path + " could not be upgraded (" + why +
                      "). It is used as before, without seals and voids.";
        return out;
    };
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) {
        failed(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        out.kind = UpgradeOutcome::Kind::kNoStore;
        return out;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), busy_wait_ms);
    // Every column of the first edition's tables, or it is no bills store: a foreign file is
    // neither copied nor given our tables.
    for (const StoreTable& table : kStoreTables) {
        if (table.edition > 1) continue;
        const std::string sql =
            StatementOn(table, "select " + ColumnList(table) + " from {} limit 0");
        if (Statement probe = Prepare(db.get(), sql); !probe) {
            failed(sqlite3_errmsg(db.get()));
            out.kind = UpgradeOutcome::Kind::kNoStore;
            return out;
        }
    }
    if (StoreEdition(db.get()) >= kCurrentEdition) {
        out.kind = UpgradeOutcome::Kind::kCurrent;
        return out;
    }
    // The write lock first: from here no other program can change the store, so the copy
    // holds exactly what the upgrade starts from.
    if (!Exec(db.get(), "pragma synchronous=FULL") || !Exec(db.get(), "begin immediate")) {
        return failed(sqlite3_errmsg(db.get()));
    }
    struct Rollback {
        sqlite3* db;
        ~Rollback() {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        }
    } rollback{db.get()};
    const int edition = StoreEdition(db.get());
    if (edition >= kCurrentEdition) {  // another program was quicker
        out.kind = UpgradeOutcome::Kind::kCurrent;
        return out;
    }
    // A sealed store only gains empty tables: no row changes, so no copy is needed.
    if (edition >= 2) {
        if (!Exec(db.get(), SchemaOf(edition + 1, kCurrentEdition).c_str()) ||
            !Exec(db.get(), "commit")) {
            return failed(sqlite3_errmsg(db.get()));
        }
        out.kind = UpgradeOutcome::Kind::kUpgraded;
        return out;
    }

    // The copy, through SQLite's backup from a reader of its own: whole, WAL included.
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string copy = path + ".before-upgrade";
    for (int n = 2; fs::exists(fs::u8path(copy), ec) || ec; ++n) {
        if (n > 1000) return failed("no name is free for a copy beside it");
        copy = path + ".before-upgrade." + std::to_string(n);
    }
    {
        sqlite3* source_raw = nullptr;
        sqlite3* copy_raw = nullptr;
        const int src = sqlite3_open_v2(path.c_str(), &source_raw, SQLITE_OPEN_READONLY, nullptr);
        Db source(source_raw);
        const int dst = sqlite3_open_v2(copy.c_str(), &copy_raw,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Db target(copy_raw);
        std::string why;
        if (src != SQLITE_OK) {
            why = sqlite3_errmsg(source.get());
        } else if (dst != SQLITE_OK) {
            why = sqlite3_errmsg(target.get());
        } else if (sqlite3_backup* backup =
                       sqlite3_backup_init(target.get(), "main", source.get(), "main")) {
            sqlite3_backup_step(backup, -1);
            if (sqlite3_backup_finish(backup) != SQLITE_OK) why = sqlite3_errmsg(target.get());
        } else {
            why = sqlite3_errmsg(target.get());
        }
        if (!why.empty()) {
            target.reset();
            fs::remove(fs::u8path(copy), ec);
            return failed("no copy could be made: " + why);
        }
    }
    out.copy_path = copy;

    // New tables and every bill's seal in id order, all in the one transaction.
    if (!Exec(db.get(), std::string(LedgerSchema()).c_str())) {
        return failed(sqlite3_errmsg(db.get()));
    }
    {
        BillRows rows(db.get());
        Statement insert = Prepare(db.get(), InsertSeal());
        if (!rows.ok() || !insert) return failed(sqlite3_errmsg(db.get()));
        Digest previous{};
        std::int64_t previous_id = 0;
        while (rows.Next()) {
            const Digest seal = SealOver(previous, rows.form());
            sqlite3_bind_int64(insert.get(), 1, rows.id());
            sqlite3_bind_int64(insert.get(), 2, previous_id);
            sqlite3_bind_blob(insert.get(), 3, seal.data(), static_cast<int>(seal.size()),
                              SQLITE_STATIC);
            if (sqlite3_step(insert.get()) != SQLITE_DONE) return failed(sqlite3_errmsg(db.get()));
            sqlite3_reset(insert.get());
            previous = seal;
            previous_id = rows.id();
            ++out.sealed;
        }
        if (!rows.ok()) return failed(rows.error());
    }
    if (!Exec(db.get(), "commit")) return failed(sqlite3_errmsg(db.get()));
    out.kind = UpgradeOutcome::Kind::kUpgraded;
    return out;
}

BillState StateOf(sqlite3* db, std::int64_t id) {
    BillState state;
    if (!db || !HasTable(db, kVoidsTable)) return state;
    Statement s =
        Prepare(db, StatementOn(kVoidsTable,
                                "select {0}, {1}, {2}, {3}, {4} from {} where {0}=?1 or {1}=?1",
                                {kVoidOriginal, kVoidBill, kVoidOperator, kVoidTime, kVoidReason}));
    if (!s) return state;
    sqlite3_bind_int64(s.get(), 1, id);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return state;
    auto text = [&](int i) {
        const auto* t = sqlite3_column_text(s.get(), i);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    const std::int64_t original = sqlite3_column_int64(s.get(), kVoidOriginal);
    const std::int64_t void_id = sqlite3_column_int64(s.get(), kVoidBill);
    state.kind = original == id ? BillState::Kind::kVoided : BillState::Kind::kVoid;
    state.other_id = original == id ? void_id : original;
    state.operator_name = text(kVoidOperator);
    state.voided_at = text(kVoidTime);
    state.reason = text(kVoidReason);
    return state;
}

int OpenForCheck(const std::string& path, sqlite3** db) {
    // One thread reads: no locking of SQLite's own; the file mapped rather than read page by
    // page, as a million bills are read once from end to end.
    const int rc =
        sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(*db, 2000);
        sqlite3_exec(*db, "pragma mmap_size=1073741824", nullptr, nullptr, nullptr);
    }
    return rc;
}

StartupCheck CheckStoreAtStartup(const std::string& path, const ChainCheck* checked) {
    StartupCheck check;
    check.upgrade = UpgradeStore(path);
    // A missing or foreign file: the store's own start-up messages say so.
    if (check.upgrade.kind == UpgradeOutcome::Kind::kNoStore) return check;
    if (check.upgrade.kind == UpgradeOutcome::Kind::kFailed) {
        check.message = check.upgrade.message;
        return check;
    }
    // A first edition's upgrade always leaves a copy: its chain is new, even without bills.
    if (checked && check.upgrade.copy_path.empty()) {
        check.chain = *checked;
        return check;
    }
    sqlite3* raw = nullptr;
    const int rc = OpenForCheck(path, &raw);
    Db db(raw);
    if (rc != SQLITE_OK) {
        check.chain.what = std::string("the store cannot be read: ") +
                           (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    } else {
        check.chain = VerifyChain(db.get());
    }
    if (!check.chain.intact) {
        check.message = "The bills store's seals do not hold: " + check.chain.what + ".";
    }
    return check;
}

}  // namespace tlx::billing
