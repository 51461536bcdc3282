#include "console/bills/bills_database.h"

#include <windows.h>

#include "core/console/texts.h"
#include "win32/text.h"

namespace tlx::console {

namespace texts = tlx::console::texts;

void ReportDatabaseError(const std::string& error_list) {
    if (error_list.empty()) return;
    MessageBoxA(nullptr, error_list.c_str(), std::string(texts::kDatabaseErrorCaption).c_str(),
                MB_OK | MB_ICONSTOP);
}

BillsDatabase::BillsDatabase()
    : store_(tlx::billing::TextCodec{
          [](std::string_view ansi) {
              return tlx::win32::Utf8FromWide(tlx::win32::WideFromAnsi(ansi));
          },
          [](std::string_view utf8) {
              return tlx::win32::AnsiFromWide(tlx::win32::WideFromUtf8(utf8));
          }}) {}

bool BillsDatabase::OpenDatabase() {
    const std::string path(tlx::billing::kStoreFile);
    // On its own connection, before the store opens: a missing or foreign file is left to the
    // store's own messages below.
    startup_ = tlx::billing::CheckStoreAtStartup(path);
    if (store_.Open(path)) return true;
    ReportDatabaseError(tlx::billing::ErrorList(store_.errors()));
    return false;
}

bool BillsDatabase::second_edition() const {
    using Kind = tlx::billing::UpgradeOutcome::Kind;
    const Kind kind = startup_.upgrade.kind;
    return is_open() && (kind == Kind::kCurrent || kind == Kind::kUpgraded);
}

void BillsDatabase::StoreBill(tlx::billing::Bill& bill) {
    store_.StoreBill(bill, ReportDatabaseError);
}

}  // namespace tlx::console
