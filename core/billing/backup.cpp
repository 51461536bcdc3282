#include "core/billing/backup.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "core/billing/columns.h"
#include "core/billing/sqlite_handles.h"
#include "core/billing/store.h"

namespace tlx::billing {
namespace {

using sqlite::Db;

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "bills-";
constexpr std::string_view kSuffix = ".mdb";
constexpr std::string_view kPartial = ".partial";
// What SQLite may leave beside a file it writes.
constexpr std::string_view kCompanions[] = {"-journal", "-wal", "-shm"};

// Paths cross this file as UTF-8 (SQLite's and the console's form), also on Windows.
fs::path PathOf(const std::string& utf8) {
    return fs::u8path(utf8);
}
std::string Utf8(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

Db Open(const std::string& path, int flags, int* rc) {
    sqlite3* raw = nullptr;
    *rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    Db db(raw);
    if (*rc == SQLITE_OK) sqlite3_busy_timeout(raw, kBusyWaitMs);
    return db;
}

std::string ErrorOf(sqlite3* db, int rc) {
    return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
}

// The first line of a PRAGMA quick_check that is not "ok"; empty when the file holds.
std::string QuickCheck(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "pragma quick_check", -1, &s, nullptr) != SQLITE_OK) {
        return sqlite3_errmsg(db);
    }
    std::string what;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        if (what.empty() && line && std::string_view(line) != "ok") what = line;
    }
    if (rc != SQLITE_DONE && what.empty()) what = sqlite3_errmsg(db);
    sqlite3_finalize(s);
    return what;
}

std::int64_t CountBills(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    std::int64_t n = 0;
    if (sqlite3_prepare_v2(db, StatementOn(kBillsTable, "select count(*) from {}").c_str(), -1, &s,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        n = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
    return n;
}

// The file behind `db`: the quick or the full check (with the store's tables), then the chain
// when the file has seals.
void Examine(sqlite3* db, bool full, HealthCheck& out) {
    std::string what;
    if (full) {
        const auto problems = CheckStore(db);
        if (!problems.empty()) what = problems.front();
    } else {
        what = QuickCheck(db);
    }
    if (!what.empty()) {
        out.what = "the file is damaged: " + what;
        return;
    }
    out.edition = StoreEdition(db);
    if (out.edition >= 2) {
        out.chain = VerifyChain(db);
        if (!out.chain.intact) {
            out.what = "the seals do not hold: " + out.chain.Text();
            return;
        }
    } else {
        out.chain.bills = CountBills(db);
    }
    out.sound = true;
}

HealthCheck CheckFile(const std::string& path, bool full) {
    HealthCheck out;
    std::error_code ec;
    out.found = fs::is_regular_file(PathOf(path), ec);
    if (!out.found) {
        out.what = "the file " + path + " cannot be found";
        return out;
    }
    sqlite3* raw = nullptr;
    const int rc = OpenForCheck(path, &raw);
    Db db(raw);
    if (rc != SQLITE_OK) {
        out.what = "the file cannot be read: " + ErrorOf(raw, rc);
        return out;
    }
    Examine(db.get(), full, out);
    return out;
}

// Why a copy into `where` failed, in the operator's words.
std::string WriteFailure(int rc, const std::string& where, const std::string& detail) {
    switch (rc & 0xff) {
        case SQLITE_FULL:
            return "the disk of " + where + " is full";
        default:
            return where + " cannot be written (" + detail + ")";
    }
}

void RemoveWithCompanions(const fs::path& file) {
    std::error_code ec;
    fs::remove(file, ec);
    for (const auto end : kCompanions) fs::remove(fs::path(file).concat(end), ec);
}

// The store copied page by page into `target` (a new file) from a reader of its own: one step
// under one read transaction, so the copy is the store as one moment saw it, while the console
// goes on writing. Empty on success, else why not.
std::string CopyStore(const std::string& source_path, const std::string& target,
                      const std::string& target_place) {
    int rc = SQLITE_OK;
    Db source = Open(source_path, SQLITE_OPEN_READONLY, &rc);
    if (rc != SQLITE_OK) {
        return "the file " + source_path + " cannot be read (" + ErrorOf(source.get(), rc) + ")";
    }
    Db copy = Open(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &rc);
    if (rc != SQLITE_OK) return WriteFailure(rc, target_place, ErrorOf(copy.get(), rc));
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (!backup) {
        rc = sqlite3_extended_errcode(copy.get());
        return WriteFailure(rc, target_place, sqlite3_errmsg(copy.get()));
    }
    // The store is briefly locked while the console checkpoints it: wait as a write would.
    for (int waited = 0;; waited += 50) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || waited >= kBusyWaitMs) break;
        sqlite3_sleep(50);
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE) return {};
    const int code = sqlite3_extended_errcode(copy.get());
    if ((code & 0xff) == SQLITE_FULL || (code & 0xff) == SQLITE_IOERR || rc == SQLITE_FULL) {
        return WriteFailure(rc == SQLITE_FULL ? rc : code, target_place, sqlite3_errstr(rc));
    }
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return "the file " + source_path + " stayed locked";
    return "the file " + source_path + " is damaged or unreadable (" + sqlite3_errstr(rc) + ")";
}

// Makes the copy at `partial` a file of its own (rollback journal, so nothing is needed beside
// it) and checks it.
HealthCheck SettleAndCheck(const std::string& partial, std::string_view journal_mode, bool full) {
    HealthCheck out;
    out.found = true;
    int rc = SQLITE_OK;
    Db db = Open(partial, SQLITE_OPEN_READWRITE, &rc);
    if (rc == SQLITE_OK) {
        const std::string sql = "pragma journal_mode=" + std::string(journal_mode);
        rc = sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        out.what = "the copy cannot be read back (" + ErrorOf(db.get(), rc) + ")";
        return out;
    }
    Examine(db.get(), full, out);
    return out;
}

BackupOutcome Failed(std::string why) {
    BackupOutcome out;
    out.message = "No backup was made: " + std::move(why) + ".";
    return out;
}

BackupOutcome CopyCheckAndName(const std::string& store_path, const fs::path& target) {
    std::error_code ec;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string place = Utf8(folder);
    if (!fs::is_directory(folder, ec)) return Failed("the folder " + place + " cannot be found");
    if (!fs::is_regular_file(PathOf(store_path), ec)) {
        return Failed("the bills store " + store_path + " cannot be found");
    }
    if (fs::exists(target, ec)) return Failed(Utf8(target) + " exists already");
    const fs::path partial = fs::path(target).concat(kPartial);
    RemoveWithCompanions(partial);

    std::string why = CopyStore(store_path, Utf8(partial), place);
    HealthCheck check;
    if (why.empty()) {
        check = SettleAndCheck(Utf8(partial), "delete", false);
        if (!check.sound) why = "the copy failed its check: " + check.what;
    }
    if (why.empty()) {
        // Only a checked copy gets the name; never over another file.
        if (fs::exists(target, ec)) {
            why = Utf8(target) + " exists already";
        } else if (fs::rename(partial, target, ec); ec) {
            why = "the checked copy could not be named " + Utf8(target.filename()) + " (" +
                  ec.message() + ")";
        }
    }
    if (!why.empty()) {
        RemoveWithCompanions(partial);
        return Failed(why);
    }
    BackupOutcome out;
    out.kind = BackupOutcome::Kind::kMade;
    out.path = Utf8(target);
    out.bytes = fs::file_size(target, ec);
    out.bills = check.chain.bills;
    return out;
}

std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) names.push_back(Utf8(it->path().filename()));
    }
    return names;
}

// --- Dates -------------------------------------------------------------------------------

// Days since 1970-01-01 (proleptic Gregorian calendar).
long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yoe = year - era * 400;
    const long doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long DayOf(const LocalTime& t) {
    return DaysFromCivil(t.year, t.month, t.day);
}
// The Monday that starts the time's ISO week (1970-01-01 was a Thursday).
long WeekOf(const LocalTime& t) {
    const long day = DayOf(t);
    return day - (((day + 3) % 7) + 7) % 7;
}
long MonthOf(const LocalTime& t) {
    return t.year * 12L + t.month;
}

long long Stamp(const LocalTime& t) {
    return ((((t.year * 100LL + t.month) * 100 + t.day) * 100 + t.hour) * 100 + t.minute) * 100 +
           t.second;
}

void PutNumber(std::string& out, int value, int width) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(static_cast<std::size_t>(std::max<long>(0, width - (end - digits))), '0');
    out.append(digits, end);
}

}  // namespace

std::string DefaultBackupFolder(const std::string& store_path) {
    return Utf8(PathOf(store_path).parent_path() / PathOf(std::string(kBackupFolder)));
}

std::string MakeDefaultBackupFolder(const std::string& store_path) {
    const std::string folder = DefaultBackupFolder(store_path);
    std::error_code ec;
    fs::create_directory(PathOf(folder), ec);
    return fs::is_directory(PathOf(folder), ec) ? folder : std::string();
}

std::string BackupName(const LocalTime& t) {
    std::string name(kPrefix);
    PutNumber(name, t.year, 4);
    name += '-';
    PutNumber(name, t.month, 2);
    name += '-';
    PutNumber(name, t.day, 2);
    name += '-';
    PutNumber(name, t.hour, 2);
    PutNumber(name, t.minute, 2);
    PutNumber(name, t.second, 2);
    return name.append(kSuffix);
}

std::optional<LocalTime> BackupTime(std::string_view name) {
    // bills-YYYY-MM-DD-HHMMSS.mdb
    constexpr std::size_t kLength = 6 + 10 + 1 + 6 + 4;
    if (name.size() != kLength || !name.starts_with(kPrefix) || !name.ends_with(kSuffix) ||
        name[16] != '-') {
        return std::nullopt;
    }
    const std::string_view time = name.substr(17, 6);
    if (!std::all_of(time.begin(), time.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::string stored(name.substr(6, 10));
    stored.append(" ").append(time.substr(0, 2)).append(":").append(time.substr(2, 2));
    stored.append(":").append(time.substr(4, 2));
    auto parsed = ParseStored(stored);
    // Only the name BackupName gives for that time.
    if (!parsed || BackupName(*parsed) != name) return std::nullopt;
    return parsed;
}

HealthCheck CheckStoreHealth(const std::string& path) {
    return CheckFile(path, false);
}
HealthCheck CheckBackupFile(const std::string& path) {
    return CheckFile(path, true);
}

std::optional<std::string> NewestGoodBackup(const std::string& folder) {
    std::vector<std::string> names = FileNames(PathOf(folder));
    std::erase_if(names, [](const std::string& n) { return !BackupTime(n); });
    std::sort(names.rbegin(), names.rend());  // the name sorts as its time
    for (const auto& name : names) {
        const std::string path = Utf8(PathOf(folder) / PathOf(name));
        if (CheckBackupFile(path).sound) return path;
    }
    return std::nullopt;
}

int RemoveLeftovers(const std::string& folder) {
    int removed = 0;
    for (const auto& name : FileNames(PathOf(folder))) {
        const auto at = name.find(kPartial);
        if (at == std::string::npos || !BackupTime(std::string_view(name).substr(0, at))) continue;
        const std::string_view rest = std::string_view(name).substr(at + kPartial.size());
        if (!rest.empty() && std::find(std::begin(kCompanions), std::end(kCompanions), rest) ==
                                 std::end(kCompanions))
            continue;
        std::error_code ec;
        if (fs::remove(PathOf(folder) / PathOf(name), ec)) ++removed;
    }
    return removed;
}

BackupOutcome MakeBackup(const std::string& store_path, const std::string& folder,
                         const LocalTime& now) {
    std::error_code ec;
    if (!fs::is_directory(PathOf(folder), ec)) {
        return Failed("the folder " + folder + " cannot be found");
    }
    RemoveLeftovers(folder);
    return CopyCheckAndName(store_path, PathOf(folder) / PathOf(BackupName(now)));
}

BackupOutcome MakeBackupAs(const std::string& store_path, const std::string& file) {
    return CopyCheckAndName(store_path, PathOf(file));
}

bool BackupDue(const std::string& folder, const LocalTime& now) {
    for (const auto& name : FileNames(PathOf(folder))) {
        const auto time = BackupTime(name);
        if (time && DayOf(*time) == DayOf(now)) return false;
    }
    return true;
}

std::vector<std::string> BackupsToRemove(const std::vector<std::string>& names,
                                         const LocalTime& now, const Retention& keep) {
    struct Copy {
        std::string name;
        LocalTime time;
    };
    std::vector<Copy> copies;
    for (const auto& name : names) {
        const auto time = BackupTime(name);
        if (time && Stamp(*time) <= Stamp(now)) copies.push_back({name, *time});
    }
    std::sort(copies.begin(), copies.end(),
              [](const Copy& a, const Copy& b) { return Stamp(a.time) > Stamp(b.time); });
    std::vector<bool> kept(copies.size(), false);
    if (!kept.empty()) kept[0] = true;
    // Newest first: the first copy met in a period is that period's newest.
    auto rule = [&](long (*period)(const LocalTime&), int count) {
        std::set<long> seen;
        for (std::size_t i = 0; i < copies.size(); ++i) {
            if (seen.insert(period(copies[i].time)).second &&
                static_cast<int>(seen.size()) <= count) {
                kept[i] = true;
            }
        }
    };
    rule(DayOf, keep.daily);
    rule(WeekOf, keep.weekly);
    rule(MonthOf, keep.monthly);
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        if (!kept[i]) removed.push_back(copies[i].name);
    }
    return removed;
}

RotationOutcome RotateBackups(const std::string& folder, const LocalTime& now,
                              const Retention& keep) {
    RotationOutcome out;
    for (const auto& name : BackupsToRemove(FileNames(PathOf(folder)), now, keep)) {
        std::error_code ec;
        if (fs::remove(PathOf(folder) / PathOf(name), ec)) {
            out.removed.push_back(name);
        } else if (out.message.empty()) {
            out.message =
                "The old backup " + name + " could not be removed (" + ec.message() + ").";
        }
    }
    return out;
}

BackupOutcome BackUpAndRotate(const std::string& store_path, const std::string& folder,
                              const LocalTime& now, bool when_due) {
    std::error_code ec;
    if (when_due && fs::is_directory(PathOf(folder), ec) && !BackupDue(folder, now)) {
        BackupOutcome out;
        out.kind = BackupOutcome::Kind::kNotDue;
        return out;
    }
    BackupOutcome out = MakeBackup(store_path, folder, now);
    if (out.ok()) RotateBackups(folder, now);
    return out;
}

RestoreOutcome RestoreBackup(const std::string& backup_path, const std::string& store_path,
                             const LocalTime& now) {
    RestoreOutcome out;
    const fs::path backup = PathOf(backup_path), store = PathOf(store_path);
    auto refuse = [&](const std::string& why) {
        out.message = "The backup " + backup_path + " was not restored: " + why + ".";
        return out;
    };
    std::error_code ec;
    if (!fs::is_regular_file(backup, ec)) return refuse("the file cannot be found");
    const std::string store_folder =
        Utf8(store.parent_path().empty() ? fs::path(".") : store.parent_path());

    // The copy beside the store, of the store's own journal kind, checked where it will stay.
    const fs::path temp = fs::path(store).concat(".restoring");
    RemoveWithCompanions(temp);
    std::string why = CopyStore(backup_path, Utf8(temp), store_folder);
    if (why.empty()) {
        const HealthCheck check = SettleAndCheck(Utf8(temp), "wal", true);
        if (!check.sound) why = check.what;
    }
    if (!why.empty()) {
        RemoveWithCompanions(temp);
        return refuse(why);
    }

    // The replaced store and what SQLite keeps beside it, under a name of their own.
    const std::string stamp = BackupName(now).substr(kPrefix.size(), 17);
    std::string aside = store_path + ".replaced-" + stamp;
    auto taken = [&](const std::string& base) {
        if (fs::exists(PathOf(base), ec)) return true;
        for (const auto end : kCompanions)
            if (fs::exists(PathOf(base + std::string(end)), ec)) return true;
        return false;
    };
    for (int n = 2; taken(aside); ++n)
        aside = store_path + ".replaced-" + stamp + "." + std::to_string(n);
    std::vector<std::pair<fs::path, fs::path>> moved;
    auto undo = [&] {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            fs::rename(it->second, it->first, ec);
        RemoveWithCompanions(temp);
    };
    std::vector<std::string> ends = {""};
    for (const auto end : kCompanions) ends.emplace_back(end);
    for (const auto& end : ends) {
        const fs::path from = PathOf(store_path + end), to = PathOf(aside + end);
        if (!fs::exists(from, ec)) continue;
        std::error_code move_error;
        fs::rename(from, to, move_error);
        if (move_error) {
            undo();
            return refuse("the store could not be put aside (" + move_error.message() +
                          "); it is as it was");
        }
        moved.emplace_back(from, to);
    }
    std::error_code place_error;
    fs::rename(temp, store, place_error);
    if (place_error) {
        undo();
        return refuse("the copy could not take the store's name (" + place_error.message() +
                      "); the store is as it was");
    }
    out.ok = true;
    if (!moved.empty()) out.replaced_path = aside;
    return out;
}

}  // namespace tlx::billing
