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
    if (store_.Open(std::string(tlx::billing::kStoreFile))) return true;
    ReportDatabaseError(tlx::billing::ErrorList(store_.errors()));
    return false;
}

void BillsDatabase::StoreBill(tlx::billing::Bill& bill) {
    store_.StoreBill(bill, ReportDatabaseError);
}

}  // namespace tlx::console
