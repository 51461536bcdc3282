// billsdb: the bills store's own tool. The console never creates its store; this does.
//   billsdb create FILE   a new, empty store (an existing file is never touched)
//   billsdb check FILE    integrity, tables and columns of a store; exit 0 when sound
//   billsdb upgrade FILE  a first-edition store to the second (seals and voids), after a copy
//   billsdb verify FILE   recomputes the seals' chain; exit 0 when it holds
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/billing/ledger.h"
#include "core/billing/store.h"

namespace {

int Usage() {
    std::fputs("usage: billsdb create|check|upgrade|verify FILE\n", stderr);
    return 2;
}

int Create(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::u8path(path), ec)) {
        std::fprintf(stderr, "billsdb: %s exists; it is left as it is\n", path.c_str());
        return 1;
    }
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        // A new store is of the current edition from its first bill.
        const std::string schema = std::string(tlx::billing::StoreSchema()) + ";" +
                                   std::string(tlx::billing::LedgerSchema());
        rc = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "billsdb: cannot create %s: %s\n", path.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        std::filesystem::remove(std::filesystem::u8path(path), ec);
        return 1;
    }
    sqlite3_close(db);
    std::printf("created %s\n", path.c_str());
    return 0;
}

int Check(const std::string& path) {
    sqlite3* db = nullptr;
    std::vector<std::string> problems;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        problems.push_back(sqlite3_errmsg(db));
    } else {
        problems = tlx::billing::CheckStore(db);
    }
    sqlite3_close(db);
    for (const auto& p : problems)
        std::fprintf(stderr, "billsdb: %s: %s\n", path.c_str(), p.c_str());
    if (!problems.empty()) return 1;
    std::printf("%s: ok\n", path.c_str());
    return 0;
}

int Upgrade(const std::string& path) {
    using Kind = tlx::billing::UpgradeOutcome::Kind;
    const auto outcome = tlx::billing::UpgradeStore(path);
    switch (outcome.kind) {
        case Kind::kCurrent:
            std::printf("%s: already of edition %d\n", path.c_str(), tlx::billing::kCurrentEdition);
            return 0;
        case Kind::kUpgraded:
            std::printf("%s: upgraded to edition %d, %lld bills sealed; the old file is %s\n",
                        path.c_str(), tlx::billing::kCurrentEdition,
                        static_cast<long long>(outcome.sealed), outcome.copy_path.c_str());
            return 0;
        default:
            std::fprintf(stderr, "billsdb: %s\n", outcome.message.c_str());
            return 1;
    }
}

int Verify(const std::string& path) {
    sqlite3* db = nullptr;
    tlx::billing::ChainCheck check;
    if (tlx::billing::OpenForCheck(path, &db) != SQLITE_OK) {
        check.what = sqlite3_errmsg(db);
    } else {
        check = tlx::billing::VerifyChain(db);
    }
    sqlite3_close(db);
    if (!check.intact) {
        std::fprintf(stderr, "billsdb: %s: %s\n", path.c_str(), check.what.c_str());
        return 1;
    }
    std::printf("%s\n", check.Text().c_str());
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage();
    if (args[0] == "create") return Create(args[1]);
    if (args[0] == "check") return Check(args[1]);
    if (args[0] == "upgrade") return Upgrade(args[1]);
    if (args[0] == "verify") return Verify(args[1]);
    return Usage();
}

}  // namespace

#ifdef _WIN32
#include <windows.h>
// Paths reach SQLite as UTF-8, whatever the operator's code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), n, nullptr, nullptr);
        args.push_back(arg);
    }
    return Run(args);
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
