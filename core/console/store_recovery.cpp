#include "core/console/store_recovery.h"

#include <cstdio>

namespace tlx::console {

namespace billing = tlx::billing;

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A backup's time from its name, for the operator; the name itself when it has none.
std::string MadeOn(const std::string& backup_path) {
    const auto slash = backup_path.find_last_of("/\\");
    const auto at = billing::BackupTime(
        std::string_view(backup_path).substr(slash == std::string::npos ? 0 : slash + 1));
    return at ? billing::FormatStored(*at) : backup_path;
}

std::string Counted(std::int64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::string BackupFolderFor(std::string_view setting, const std::string& store_path) {
    const std::string_view named = Trimmed(setting);
    return named.empty() ? billing::DefaultBackupFolder(store_path) : std::string(named);
}

std::string DamagedStoreQuestion(const billing::HealthCheck& health,
                                 const std::string& backup_path) {
    return "The bills store is damaged: " + health.what + ".\n\nThe newest good backup is " +
           backup_path + ", made on " + MadeOn(backup_path) +
           ".\n\nRestore it? The damaged store is kept aside under a new name, never deleted; "
           "bills stored since that backup are only in the damaged store.\n\nYes: restore the "
           "backup and bill on.\nNo: go on without storing bills.";
}

std::string DamagedStoreNoBackup(const billing::HealthCheck& health, const std::string& folder) {
    return "The bills store is damaged: " + health.what + ".\n\nNo good backup was found in " +
           folder + ".";
}

std::optional<std::string> BackupNotices::Tell(const billing::BackupOutcome& outcome) {
    if (outcome.kind != billing::BackupOutcome::Kind::kFailed || told_) return std::nullopt;
    told_ = true;
    return outcome.message + "\n\nBills are stored as usual; the backup is tried again at the " +
           "next start and after the next day close.";
}

billing::CsvFormat CsvFormatOfRegion(std::string_view list_separator,
                                     std::string_view decimal_sign) {
    const char decimal = decimal_sign.size() == 1 && decimal_sign[0] != '"' ? decimal_sign[0] : '.';
    billing::CsvFormat format = billing::CsvFormatFor(decimal);
    // A separator CSV cannot carry, or one that reads as the decimal sign, gives way.
    if (list_separator.size() == 1 &&
        std::string_view("\"\r\n").find(list_separator[0]) == std::string_view::npos &&
        list_separator[0] != decimal) {
        format.separator = list_separator[0];
    }
    return format;
}

std::string IsoDate(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string ExportSummary(const billing::ExportOutcome& outcome, std::string_view folder) {
    if (!outcome.ok) return outcome.message;
    return Counted(outcome.bills, "bill", "bills") + " and " +
           Counted(outcome.calls, "call", "calls") + " exported to " + std::string(folder) + " (" +
           std::string(billing::kBillsCsv) + ", " + std::string(billing::kCallsCsv) + ").";
}

std::string ExportRangeProblem(std::string_view from, std::string_view to,
                               std::string_view folder) {
    if (Trimmed(folder).empty()) return "Please choose the folder the files go to.";
    if (from > to) return "The first day of the range comes after the last one.";
    return {};
}

}  // namespace tlx::console
