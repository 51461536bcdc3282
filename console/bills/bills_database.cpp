#include "console/bills/bills_database.h"

#include <windows.h>

#include "console/settings_store.h"
#include "core/console/settings_keys.h"
#include "core/console/texts.h"
#include "win32/dialog.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace texts = tlx::console::texts;

namespace {

std::string Utf8(std::string_view ansi) {
    return tlx::win32::Utf8FromWide(tlx::win32::WideFromAnsi(ansi));
}
std::string Ansi(std::string_view utf8) {
    return tlx::win32::AnsiFromWide(tlx::win32::WideFromUtf8(utf8));
}

}  // namespace

void ReportDatabaseError(const std::string& error_list) {
    if (error_list.empty()) return;
    MessageBoxA(nullptr, error_list.c_str(), std::string(texts::kDatabaseErrorCaption).c_str(),
                MB_OK | MB_ICONSTOP);
}

BillsDatabase::BillsDatabase()
    : store_(billing::TextCodec{[](std::string_view ansi) { return Utf8(ansi); },
                                [](std::string_view utf8) { return Ansi(utf8); }}) {}

bool BillsDatabase::OpenDatabase() {
    const std::string path(billing::kStoreFile);
    if (!OfferBackupIfDamaged(path)) {
        left_closed_ = true;
        return false;
    }
    // On its own connection, before the store opens: a missing or foreign file is left to the
    // store's own messages below.
    startup_ = billing::CheckStoreAtStartup(path, health_.sound ? &health_.chain : nullptr);
    if (store_.Open(path)) return true;
    ReportDatabaseError(billing::ErrorList(store_.errors()));
    return false;
}

bool BillsDatabase::OfferBackupIfDamaged(const std::string& path) {
    health_ = billing::CheckStoreHealth(path);
    if (!health_.found || health_.sound) return true;
    // The store opens before the application reads its settings: the key is read here.
    SettingsStore settings;
    settings.SetPath(SettingsStore::ProgramSettingsPath());
    const std::string folder = BackupFolderFor(Utf8(settings.Read(settings::kBackupFolder)), path);
    const auto backup = billing::NewestGoodBackup(folder);
    if (!backup) {
        no_backup_note_ = DamagedStoreNoBackup(health_, folder);
        return true;
    }
    if (tlx::win32::MessageBox(nullptr, Ansi(DamagedStoreQuestion(health_, *backup)),
                               texts::kBillsStoreCaption, MB_YESNO | MB_ICONWARNING) != IDYES) {
        return false;
    }
    const billing::RestoreOutcome restored = billing::RestoreBackup(*backup, path, LocalNow());
    if (!restored.ok) {
        tlx::win32::MessageBox(nullptr, Ansi(restored.message + "\n\nBills are not stored."),
                               texts::kBillsStoreCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    health_ = billing::CheckStoreHealth(path);
    return true;
}

std::string BillsDatabase::startup_message() const {
    if (!startup_.message.empty()) return startup_.message;
    return Ansi(no_backup_note_);
}

bool BillsDatabase::second_edition() const {
    using Kind = billing::UpgradeOutcome::Kind;
    const Kind kind = startup_.upgrade.kind;
    return is_open() && (kind == Kind::kCurrent || kind == Kind::kUpgraded);
}

void BillsDatabase::StoreBill(billing::Bill& bill) {
    store_.StoreBill(bill, ReportDatabaseError);
}

void BillsDatabase::StartBackups(const std::string& folder) {
    const std::string path(billing::kStoreFile);
    if (!is_open() || !health_.sound) return;  // a damaged store makes no good copy
    const std::string named = Utf8(folder);
    backups_.Start(path, named.find_first_not_of(" \t") == std::string::npos
                             ? std::string()
                             : BackupFolderFor(named, path));
}

}  // namespace tlx::console
