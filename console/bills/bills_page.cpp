#include "console/bills/bills_page.h"

#include <ole2.h>

#include "console/resource.h"
#include "core/billing/bills_view.h"
#include "core/billing/layout.h"
#include "core/console/settings_keys.h"
#include "core/console/texts.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace texts = tlx::console::texts;
namespace settings = tlx::console::settings;

namespace {

billing::LocalTime Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

CBillsDlg::CBillsDlg(BillsDatabase& database, SettingsStore& settings,
                     const std::string& operator_name)
    : database_(database),
      settings_(settings),
      operator_name_(operator_name),
      bills_rows_(database.store().bills(), billing::kBillsTable),
      calls_rows_(database.store().calls(), billing::kCallsTable) {
    // The booth controls and the page's components are COM objects hosted on this thread.
    com_ready_ = SUCCEEDED(OleInitialize(nullptr));
    if (!database_.OpenDatabase()) {
        MessageBoxA(nullptr, std::string(texts::kNoDatabase).c_str(),
                    std::string(texts::kInformationCaption).c_str(), MB_OK | MB_ICONINFORMATION);
    }
}

CBillsDlg::~CBillsDlg() {
    Destroy();
    database_.CloseDatabase();
    if (com_ready_) OleUninitialize();
}

bool CBillsDlg::OnInitDialog() {
    bills_grid_.Attach(Item(IDC_BILLS_GRID), bills_rows_.Columns());
    calls_grid_.Attach(Item(IDC_CALLS_GRID), calls_rows_.Columns());
    bills_grid_.OnCurrentRowChanged([this] {
        UpdatePrintButton();
        ShowCallsOfCurrentBill();
    });
    // The newest bill is a click away: the index column sorts either way.
    bills_grid_.OnColumnClick([this](int column) {
        if (column != billing::kBillId || !database_.is_open()) return;
        auto& bills = database_.store().bills();
        bills.SetDescending(!bills.descending());
        bills_grid_.ShowSortMark(column, !bills.descending());
        bills_grid_.SetDataSource(&bills_rows_);
    });
    RefreshBills();
    ShowCallsOfCurrentBill();
    return true;
}

bool CBillsDlg::OnCommand(int id, int, HWND) {
    if (id != IDC_REPRINT) return false;
    ReprintSelectedBill();
    return true;
}

bool CBillsDlg::OnNotify(const NMHDR& header, LRESULT& result) {
    return bills_grid_.HandleNotify(header, result) || calls_grid_.HandleNotify(header, result);
}

void CBillsDlg::UpdatePrintButton() {
    auto& bills = database_.store().bills();
    tlx::win32::Window(Item(IDC_REPRINT))
        .Enable(bills_loaded_ && bills.RecordCount() != 0 && bills.current() >= 0);
}

void CBillsDlg::RefreshBills() {
    // Without a store the lists stay empty and there is nothing to print.
    if (!database_.is_open() || !exists()) {
        UpdatePrintButton();
        return;
    }
    auto& store = database_.store();
    if (!store.OpenBills()) {
        ReportDatabaseError(billing::ErrorList(store.errors()));
        return;
    }
    bills_loaded_ = false;
    bills_grid_.SetDataSource(nullptr);
    bills_loaded_ = true;
    bills_grid_.SetDataSource(&bills_rows_);
    UpdatePrintButton();
}

void CBillsDlg::ShowCallsOfCurrentBill() {
    if (!bills_loaded_) return;
    auto& bills = database_.store().bills();
    std::uint32_t id = 0;
    if (bills.RecordCount() != 0) {
        const auto* field = bills.Field(billing::kBillsTable.key());
        id = static_cast<std::uint32_t>(field ? billing::AsInteger(*field).value_or(0) : 0);
    }
    ShowCalls(id);
}

void CBillsDlg::ShowCalls(std::uint32_t bill_id) {
    calls_grid_.SetDataSource(nullptr);
    auto& store = database_.store();
    if (!store.OpenCalls(bill_id)) {
        ReportDatabaseError(billing::ErrorList(store.errors()));
        return;
    }
    calls_grid_.SetDataSource(&calls_rows_);
}

void CBillsDlg::ReprintSelectedBill() {
    auto& store = database_.store();
    if (!bills_loaded_ || store.bills().current() < 0) return;  // nothing to print
    PrintBill(billing::StoredBill(store.bills(), store.calls()));
}

void CBillsDlg::NewBill(std::string_view print_text) {
    // The tax rate is read anew for every bill.
    auto plan = billing::ComposeBill(print_text, operator_name_, Now(),
                                     billing::TaxRateOf(settings_.Read(settings::kTax)));
    if (plan.store) database_.StoreBill(plan.bill);
    PrintBill(std::move(plan.bill));
}

void CBillsDlg::PrintBill(billing::Bill bill) {
    bill.company_name = settings_.Read(settings::kCompanyName);
    bill.financial_id = settings_.Read(settings::kFinancialId);
    bill.commercial_name = settings_.Read(settings::kCommercialName);
    for (std::size_t i = 0; i < billing::kLabelCount; ++i) {
        bill.labels[i] = settings_.Read(settings::kBillLabels[i]);
    }
    gdi_printer_.SetJobName("Tellarix bill " + std::to_string(static_cast<std::uint32_t>(bill.id)));
    try {
        billing::LayoutBill(bill, printer_ ? *printer_ : gdi_printer_);
    } catch (const billing::PrintFailure& failure) {
        // The bill stays stored; the operator learns why there is no paper.
        const std::string text =
            texts::PrintFailed(static_cast<std::uint32_t>(bill.id), failure.what);
        MessageBoxA(hwnd(), text.c_str(), std::string(texts::kPrintFailedCaption).c_str(),
                    MB_OK | MB_ICONWARNING);
    }
    bill.calls.clear();
    RefreshBills();
}

}  // namespace tlx::console
