// billsdb: the bills store's own tool. The console never creates its store; this does.
//   billsdb create FILE   a new, empty store (an existing file is never touched)
//   billsdb check FILE    integrity, tables and columns of a store; exit 0 when sound
//   billsdb upgrade FILE  a first-edition store to the second (seals and voids), after a copy
//   billsdb verify FILE   quick_check, then recomputes the seals' chain; exit 0 when both hold
//   billsdb backup STORE DEST         a checked copy: into folder DEST as bills-<time>.mdb, or as
//                                     file DEST (never over an existing file)
//   billsdb restore BACKUP STORE      a checked backup in place of the store, kept aside
//   billsdb export STORE --from DAY --to DAY --out DIR [--separator C] [--decimal C]
//                                     bills.csv and calls.csv of the days, both included
//   billsdb pdf STORE ID OUT.pdf [--settings Tellarix.ini] [--width MM]
//                                     bill ID as the console prints it, on A4 or a roll MM wide
//   billsdb report STORE [--x | --z N] [--json]
//                                     the takings since the last day close, or close N
#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/billing/backup.h"
#include "core/billing/bills_view.h"
#include "core/billing/columns.h"
#include "core/billing/csv_export.h"
#include "core/billing/day_close.h"
#include "core/billing/day_report.h"
#include "core/billing/layout.h"
#include "core/billing/ledger.h"
#include "core/billing/pdf_printer.h"
#include "core/billing/store.h"
#include "core/console/settings_keys.h"
#include "core/text/numbers.h"

namespace {

int Usage() {
    std::fputs(
        "usage: billsdb create|check|upgrade|verify FILE\n"
        "       billsdb backup STORE DEST        (DEST a folder, or the copy's file name)\n"
        "       billsdb restore BACKUP STORE\n"
        "       billsdb export STORE --from YYYY-MM-DD --to YYYY-MM-DD --out DIR\n"
        "                      [--separator C|tab] [--decimal C]\n"
        "       billsdb pdf STORE ID OUT.pdf [--settings Tellarix.ini] [--width MM]\n"
        "       billsdb report STORE [--x | --z N] [--json]\n",
        stderr);
    return 2;
}

tlx::billing::LocalTime Now() {
    const std::time_t t = std::time(nullptr);
    const std::tm* tm = std::localtime(&t);  // the tool runs one thread
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
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
            if (outcome.copy_path.empty()) {  // new tables only
                std::printf("%s: upgraded to edition %d\n", path.c_str(),
                            tlx::billing::kCurrentEdition);
                return 0;
            }
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
    // The file first: a damaged page can hide from the chain when no bill lies on it.
    const tlx::billing::HealthCheck health = tlx::billing::CheckStoreHealth(path);
    tlx::billing::ChainCheck check = health.chain;
    if (!health.sound) {
        check.intact = false;
        check.what = health.what;
    } else if (health.edition < 2) {
        sqlite3* db = nullptr;
        tlx::billing::OpenForCheck(path, &db);
        check = tlx::billing::VerifyChain(db);  // says the store has no seals yet
        sqlite3_close(db);
    }
    if (!check.intact) {
        std::fprintf(stderr, "billsdb: %s: %s\n", path.c_str(), check.what.c_str());
        return 1;
    }
    std::printf("%s\n", check.Text().c_str());
    return 0;
}

int Backup(const std::string& store, const std::string& dest) {
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(std::filesystem::u8path(dest), ec);
    const auto outcome = folder ? tlx::billing::MakeBackup(store, dest, Now())
                                : tlx::billing::MakeBackupAs(store, dest);
    if (!outcome.ok()) {
        std::fprintf(stderr, "billsdb: %s\n", outcome.message.c_str());
        return 1;
    }
    std::printf("%s: %lld bills, %.1f MB, checked\n", outcome.path.c_str(),
                static_cast<long long>(outcome.bills), static_cast<double>(outcome.bytes) / 1e6);
    return 0;
}

int Restore(const std::string& backup, const std::string& store) {
    const auto outcome = tlx::billing::RestoreBackup(backup, store, Now());
    if (!outcome.ok) {
        std::fprintf(stderr, "billsdb: %s\n", outcome.message.c_str());
        return 1;
    }
    std::printf("%s restored from %s", store.c_str(), backup.c_str());
    if (!outcome.replaced_path.empty())
        std::printf("; the replaced store is %s", outcome.replaced_path.c_str());
    std::printf("\n");
    return 0;
}

bool IsDay(const std::string& day) {
    return day.size() == 10 && tlx::billing::ParseStored(day + " 00:00:00").has_value();
}

// export STORE --from DAY --to DAY --out DIR [--separator C] [--decimal C]
int Export(const std::vector<std::string>& args) {
    std::string from, to, out, separator, decimal;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return Usage();
        std::string* value = args[i] == "--from"        ? &from
                             : args[i] == "--to"        ? &to
                             : args[i] == "--out"       ? &out
                             : args[i] == "--separator" ? &separator
                             : args[i] == "--decimal"   ? &decimal
                                                        : nullptr;
        if (!value || !value->empty()) return Usage();
        *value = args[i + 1];
    }
    if (separator == "tab") separator = "\t";
    if (!IsDay(from) || !IsDay(to) || out.empty() || separator.size() > 1 || decimal.size() > 1 ||
        (args.size() % 2) != 0) {
        return Usage();
    }
    tlx::billing::CsvFormat format = tlx::billing::CsvFormatFor(decimal.empty() ? '.' : decimal[0]);
    if (!separator.empty()) format.separator = separator[0];
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(out), ec);
    const auto outcome = tlx::billing::ExportCsv(args[1], from, to, out, format);
    if (!outcome.ok) {
        std::fprintf(stderr, "billsdb: %s\n", outcome.message.c_str());
        return 1;
    }
    std::printf("%lld bills, %lld calls written to %s\n", static_cast<long long>(outcome.bills),
                static_cast<long long>(outcome.calls), out.c_str());
    return 0;
}

// The console's settings file as its profile functions read it: [SECTION] and KEY=value lines,
// names in any case, blanks around values dropped. Missing file: no values.
class IniFile {
  public:
    explicit IniFile(const std::string& path) {
        if (path.empty()) return;
        std::ifstream in(std::filesystem::u8path(path));
        std::string line, section;
        while (std::getline(in, line)) {
            line = tlx::text::TrimBlanks(line);
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                section = Upper(line.substr(1, line.size() - 2));
            } else if (const auto eq = line.find('='); eq != std::string::npos) {
                const std::string key =
                    section + "\n" + Upper(tlx::text::TrimBlanks(line.substr(0, eq)));
                values_.emplace(key, tlx::text::TrimBlanks(line.substr(eq + 1)));
            }
        }
    }
    bool read() const { return !values_.empty(); }
    std::string Read(const tlx::console::settings::Key& k) const {
        const auto it =
            values_.find(Upper(std::string(k.section)) + "\n" + Upper(std::string(k.key)));
        return it == values_.end() ? std::string() : it->second;
    }

  private:
    static std::string Upper(std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    std::map<std::string, std::string> values_;
};

std::optional<long long> WholeNumber(const std::string& text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The row of bill `id` in the bills list (oldest first, ids rising); false when there is none.
bool MoveToBill(tlx::billing::Recordset& bills, std::int64_t id) {
    std::int64_t low = 0, high = bills.RecordCount() - 1;
    while (low <= high) {
        const std::int64_t mid = low + (high - low) / 2;
        bills.MoveTo(mid);
        const auto* field = bills.Field(tlx::billing::kBillsTable.key());
        const std::int64_t at = field ? tlx::billing::AsInteger(*field).value_or(0) : 0;
        if (at == id) return true;
        (at < id ? low : high) = at < id ? mid + 1 : mid - 1;
    }
    return false;
}

// pdf STORE ID OUT.pdf [--settings FILE] [--width MM]
int Pdf(const std::vector<std::string>& args) {
    std::string settings_path, width_mm;
    for (std::size_t i = 4; i < args.size(); i += 2) {
        std::string* value = args[i] == "--settings" ? &settings_path
                             : args[i] == "--width"  ? &width_mm
                                                     : nullptr;
        if (!value || i + 1 >= args.size()) return Usage();
        *value = args[i + 1];
    }
    const auto id = WholeNumber(args[2]);
    const auto mm = WholeNumber(width_mm.empty() ? "0" : width_mm);
    if (!id || *id <= 0 || !mm || *mm < 0 || *mm > 1000) return Usage();
    const IniFile settings(settings_path);
    if (!settings_path.empty() && !settings.read()) {
        std::fprintf(stderr, "billsdb: %s: no settings read\n", settings_path.c_str());
        return 1;
    }
    // The store keeps UTF-8; the bill is laid out in the console's code page.
    tlx::billing::BillsStore store(
        {[](std::string_view t) { return std::string(t); }, tlx::billing::WinAnsiFromUtf8});
    if (!store.Open(args[1]) || !store.OpenBills()) {
        std::fprintf(stderr, "billsdb: %s: %s", args[1].c_str(),
                     tlx::billing::ErrorList(store.errors()).c_str());
        return 1;
    }
    if (!MoveToBill(store.bills(), *id) || !store.OpenCalls(static_cast<std::uint32_t>(*id))) {
        std::fprintf(stderr, "billsdb: %s: no bill %s\n", args[1].c_str(), args[2].c_str());
        return 1;
    }
    tlx::billing::Bill bill = tlx::billing::StoredBill(store.bills(), store.calls());
    namespace keys = tlx::console::settings;
    bill.company_name = settings.Read(keys::kCompanyName);
    bill.financial_id = settings.Read(keys::kFinancialId);
    bill.commercial_name = settings.Read(keys::kCommercialName);
    for (std::size_t i = 0; i < tlx::billing::kLabelCount; ++i)
        bill.labels[i] = settings.Read(keys::kBillLabels[i]);
    if (const auto state = store.StateOf(bill.id);
        state.kind == tlx::billing::BillState::Kind::kVoid) {
        bill.voids =
            tlx::billing::VoidNote{state.other_id, state.reason, settings.Read(keys::kVoidLabel),
                                   settings.Read(keys::kVoidReasonLabel)};
    }
    // A roll's printable width in hundredths of an inch.
    tlx::billing::PdfPrinter printer(*mm ? static_cast<int>(*mm * 1000 / 254)
                                         : tlx::billing::kA4Width);
    try {
        tlx::billing::LayoutBill(bill, printer);
        tlx::billing::SavePdf(printer.bytes(), args[3]);
    } catch (const tlx::billing::PrintFailure& failure) {
        std::fprintf(stderr, "billsdb: %s\n", failure.what.c_str());
        return 1;
    }
    std::printf("bill %lld written to %s, %d page(s)\n", static_cast<long long>(*id),
                args[3].c_str(), printer.pages());
    return 0;
}

std::string StoredNow() {
    const auto now = Now();
    return tlx::billing::FormatStored(now);
}

// report STORE [--x | --z N] [--json]: the X figures as they stand, or stored close N.
int Report(const std::vector<std::string>& args) {
    bool json = false;
    long long number = 0;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--x") {
            continue;
        } else if (args[i] == "--z" && i + 1 < args.size()) {
            const std::string& n = args[++i];
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), number);
            if (ec != std::errc() || end != n.data() + n.size() || number <= 0) return Usage();
        } else {
            return Usage();
        }
    }
    const tlx::billing::sqlite::Db store = tlx::billing::OpenForDayClose(args[1], false);
    sqlite3* db = store.get();
    if (!db || sqlite3_errcode(db) != SQLITE_OK) {
        std::fprintf(stderr, "billsdb: %s: %s\n", args[1].c_str(),
                     db ? sqlite3_errmsg(db) : "out of memory");
        return 1;
    }
    std::string out, error;
    const tlx::billing::ReportWords words;
    if (number == 0) {
        if (const auto f = tlx::billing::CurrentFigures(db, StoredNow(), &error)) {
            out = json ? tlx::billing::FiguresJson(*f) : "";
            if (!json) {
                for (const auto& line : tlx::billing::XReportLines(*f, words)) out += line + "\n";
            }
        }
    } else if (const auto z = tlx::billing::ReadClose(db, number)) {
        out = json ? tlx::billing::CloseJson(*z) : "";
        if (!json) {
            for (const auto& line : tlx::billing::ZReportLines(*z, words)) out += line + "\n";
        }
    } else {
        error = "there is no day close " + std::to_string(number);
    }
    if (out.empty()) {
        std::fprintf(stderr, "billsdb: %s: %s\n", args[1].c_str(), error.c_str());
        return 1;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.size() >= 4 && args[0] == "pdf") return Pdf(args);
    if (args.size() == 3 && args[0] == "backup") return Backup(args[1], args[2]);
    if (args.size() == 3 && args[0] == "restore") return Restore(args[1], args[2]);
    if (args.size() >= 2 && args[0] == "export") return Export(args);
    if (args.size() >= 2 && args[0] == "report") return Report(args);
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
