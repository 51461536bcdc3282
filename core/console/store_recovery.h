// What the console tells the operator about the store's backups, its start-up check and an
// export, and the choices behind those words: platform-free, so they are tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/billing/backup.h"
#include "core/billing/csv_export.h"

namespace tlx::console {

inline constexpr std::string_view kBackupCaption = "Backup";
inline constexpr std::string_view kExportCaption = "Export";

// The folder the settings name (blanks around it dropped), else "Backups" beside the store.
std::string BackupFolderFor(std::string_view setting, const std::string& store_path);

// A damaged store and the newest copy that passed its checks: the one question of the start.
// Yes restores the copy, No goes on without storing.
std::string DamagedStoreQuestion(const tlx::billing::HealthCheck& health,
                                 const std::string& backup_path);
// A damaged store without a good copy to offer (said only when nothing else says it).
std::string DamagedStoreNoBackup(const tlx::billing::HealthCheck& health,
                                 const std::string& folder);

// A failed backup is told once per start, however many are tried; other outcomes say nothing.
class BackupNotices {
  public:
    std::optional<std::string> Tell(const tlx::billing::BackupOutcome& outcome);

  private:
    bool told_ = false;
};

// The regional list separator and decimal sign as the system gives them (any length): one
// character each that CSV can carry, else the pairing CsvFormatFor makes.
tlx::billing::CsvFormat CsvFormatOfRegion(std::string_view list_separator,
                                          std::string_view decimal_sign);

// "YYYY-MM-DD"
std::string IsoDate(int year, int month, int day);
// What the operator learns after Export: where and how many, or why not.
std::string ExportSummary(const tlx::billing::ExportOutcome& outcome, std::string_view folder);
// Empty when the range can be exported, else why not.
std::string ExportRangeProblem(std::string_view from, std::string_view to, std::string_view folder);

}  // namespace tlx::console
