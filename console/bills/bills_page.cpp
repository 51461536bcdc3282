#include "bills/bills_page.h"

#include <ole2.h>

#include "billing/layout.h"
#include "bills/gdi_printer.h"
#include "console/texts.h"

namespace tellarix {

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
    : database_(database), settings_(settings), operator_name_(operator_name) {
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
    printer_ = std::make_unique<GdiPrinter>();
    RefreshBills();
    return true;
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
    if (!printer_) printer_ = std::make_unique<GdiPrinter>();
    if (auto* gdi = dynamic_cast<GdiPrinter*>(printer_.get())) {
        gdi->SetJobName("Tellarix bill " + std::to_string(static_cast<std::uint32_t>(bill.id)));
    }
    try {
        billing::LayoutBill(bill, *printer_);
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

void CBillsDlg::RefreshBills() {
    // The bills list arrives with the page's grids.
}

}  // namespace tellarix
