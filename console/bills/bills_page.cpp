#include "console/bills/bills_page.h"

#include <ole2.h>

#include "console/bills/day_close_dialog.h"
#include "console/bills/export_dialog.h"
#include "console/resource.h"
#include "core/billing/bills_view.h"
#include "core/billing/layout.h"
#include "core/console/settings_keys.h"
#include "core/console/texts.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace texts = tlx::console::texts;
namespace settings = tlx::console::settings;

namespace {

// A print's job followed to its end; once after the login, the bills to print again.
constexpr UINT kPrintsFollowed = WM_APP + 1;
constexpr UINT kPointOutPrintAgain = WM_APP + 2;

billing::LocalTime Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// Why a bill is voided: required, at most as long as the store keeps.
class VoidReasonDlg : public tlx::win32::Dialog {
  public:
    const std::string& reason() const { return reason_; }

  protected:
    bool OnInitDialog() override {
        SendMessageA(Item(IDC_VOID_REASON), EM_LIMITTEXT, billing::kMaxVoidReason, 0);
        return true;
    }
    void OnOK() override {
        reason_ = ItemText(IDC_VOID_REASON);
        if (reason_.find_first_not_of(" \t") == std::string::npos) {
            tlx::win32::MessageBox(hwnd(), texts::kVoidNeedsReason, texts::kVoidCaption,
                                   MB_OK | MB_ICONEXCLAMATION);
            SetFocus(Item(IDC_VOID_REASON));
            return;
        }
        End(IDOK);
    }

  private:
    std::string reason_;
};

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
        // Going on without storing was the operator's own choice: already said.
        if (!database_.left_closed()) {
            MessageBoxA(nullptr, std::string(texts::kNoDatabase).c_str(),
                        std::string(texts::kInformationCaption).c_str(),
                        MB_OK | MB_ICONINFORMATION);
        }
    } else if (const std::string message = database_.startup_message(); !message.empty()) {
        // A changed or damaged store, or one that could not be upgraded: said once, before the
        // login.
        tlx::win32::MessageBox(nullptr, message, texts::kBillsStoreCaption, MB_OK | MB_ICONWARNING);
    }
    // A store restored from an older copy lacks closes this console made: said once.
    if (const std::string closes =
            database_.is_open() ? MissingClosesNotice(std::string(billing::kStoreFile), settings_)
                                : std::string();
        !closes.empty()) {
        tlx::win32::MessageBox(nullptr, closes, texts::kBillsStoreCaption, MB_OK | MB_ICONWARNING);
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
        ShowStateOfCurrentBill();
        ShowOutcomeOfCurrentBill();
    });
    // The newest bill is a click away: the index column sorts either way.
    bills_grid_.OnColumnClick([this](int column) {
        if (column != billing::kBillId || !database_.is_open()) return;
        auto& bills = database_.store().bills();
        bills.SetDescending(!bills.descending());
        bills_grid_.ShowSortMark(column, !bills.descending());
        bills_grid_.SetDataSource(&bills_rows_);
    });
    // Bills whose last print failed red, as voids; other voided bills grey.
    bills_rows_.SetStyleOf([this](std::int64_t id) {
        if (NeedsPrintAgain(id)) return RowStyle::kAlert;
        switch (database_.store().StateOf(id).kind) {
            case billing::BillState::Kind::kVoided:
                return RowStyle::kMuted;
            case billing::BillState::Kind::kVoid:
                return RowStyle::kAlert;
            case billing::BillState::Kind::kNormal:
                break;
        }
        return RowStyle::kNormal;
    });
    const auto& check = database_.startup_check();
    if (database_.is_open()) {
        SetItemText(IDC_STORE_CHECK, database_.second_edition()
                                         ? texts::StoreChecked(check.chain.Text())
                                         : std::string(texts::kStoreNotUpgraded));
    }
    RefreshBills();
    ShowCallsOfCurrentBill();
    ShowOutcomeOfCurrentBill();
    follower_.Announce(hwnd(), kPrintsFollowed);
    PostMessageW(hwnd(), kPointOutPrintAgain, 0, 0);
    return true;
}

bool CBillsDlg::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == kPrintsFollowed) {
        SettleFollowedPrints();
    } else if (msg == kPointOutPrintAgain) {
        PointOutBillsToPrintAgain();
    } else {
        return Dialog::OnMessage(msg, wparam, lparam, result);
    }
    return true;
}

bool CBillsDlg::OnCommand(int id, int, HWND) {
    if (id == IDC_REPRINT) {
        ReprintSelectedBill();
    } else if (id == IDC_VOID) {
        VoidSelectedBill();
    } else if (id == IDC_EXPORT) {
        ExportBills(hwnd());
    } else if (id == IDC_PREVIEW) {
        PreviewSelectedBill();
    } else if (id == IDC_SAVE_PDF) {
        SaveSelectedBillAsPdf();
    } else if (id == IDC_DAY_CLOSE) {
        DayCloseDialog day(database_, settings_, operator_name_,
                           printer_ ? *printer_ : gdi_printer_);
        day.after_close = [this] { database_.BackUpAfterDayClose(); };
        day.Run(hwnd());
        RefreshBills();
    } else {
        return false;
    }
    return true;
}

bool CBillsDlg::OnNotify(const NMHDR& header, LRESULT& result) {
    return bills_grid_.HandleNotify(header, result) || calls_grid_.HandleNotify(header, result);
}

void CBillsDlg::UpdatePrintButton() {
    auto& bills = database_.store().bills();
    const bool selected = bills_loaded_ && bills.RecordCount() != 0 && bills.current() >= 0;
    tlx::win32::Window(Item(IDC_REPRINT)).Enable(selected);
    tlx::win32::Window(Item(IDC_VOID)).Enable(selected && database_.second_edition());
    tlx::win32::Window(Item(IDC_PREVIEW)).Enable(selected);
    tlx::win32::Window(Item(IDC_SAVE_PDF)).Enable(selected);
}

std::int64_t CBillsDlg::CurrentBillId() {
    auto& bills = database_.store().bills();
    if (!bills_loaded_ || bills.RecordCount() == 0 || bills.current() < 0) return 0;
    const auto* field = bills.Field(billing::kBillsTable.key());
    return field ? billing::AsInteger(*field).value_or(0) : 0;
}

void CBillsDlg::ShowStateOfCurrentBill() {
    const std::int64_t id = CurrentBillId();
    const billing::BillState state = id != 0 ? database_.store().StateOf(id) : billing::BillState{};
    std::string head;
    const auto at = billing::ParseStored(state.voided_at);
    const std::string when = at ? RegionalTime(*at) : state.voided_at;
    if (state.kind == billing::BillState::Kind::kVoided)
        head = texts::VoidedBy(state.other_id, when);
    if (state.kind == billing::BillState::Kind::kVoid) head = texts::VoidOf(state.other_id, when);
    // The dash is written wide: it is not in every code page the operator's texts come in.
    const std::wstring line = head.empty() ? std::wstring()
                                           : tlx::win32::WideFromAnsi(head) + L" \u2014 " +
                                                 tlx::win32::WideFromAnsi(state.reason);
    // The line repaints at once when set: only when it says something else.
    const HWND state_line = Item(IDC_BILL_STATE);
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(state_line)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(
        GetWindowTextW(state_line, shown.data(), static_cast<int>(shown.size()))));
    if (shown != line) SetWindowTextW(state_line, line.c_str());
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
    // Bound again rather than unbound first: the list and the buttons under it change once.
    bills_rows_.ForgetStyles();
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
    auto& store = database_.store();
    if (!store.OpenCalls(bill_id)) {
        calls_grid_.SetDataSource(nullptr);
        ReportDatabaseError(billing::ErrorList(store.errors()));
        return;
    }
    calls_grid_.SetDataSource(&calls_rows_);
}

std::optional<billing::Bill> CBillsDlg::SelectedBill() {
    auto& store = database_.store();
    if (!bills_loaded_ || store.bills().current() < 0) return std::nullopt;  // nothing to print
    billing::Bill bill = billing::StoredBill(store.bills(), store.calls());
    // A void prints what it cancels every time.
    const billing::BillState state = store.StateOf(bill.id);
    if (state.kind == billing::BillState::Kind::kVoid) {
        bill.voids = billing::VoidNote{state.other_id, state.reason, {}, {}};
    }
    return bill;
}

void CBillsDlg::ReprintSelectedBill() {
    if (auto bill = SelectedBill()) PrintBill(std::move(*bill));
}

void CBillsDlg::VoidSelectedBill() {
    auto& store = database_.store();
    const std::int64_t id = CurrentBillId();
    if (id == 0) return;
    const billing::Bill original = billing::StoredBill(store.bills(), store.calls());
    VoidReasonDlg reason;
    if (reason.RunModal(IDD_VOID_REASON, hwnd()) != IDOK) return;
    const std::string question =
        texts::ConfirmVoid(id, RegionalAmount(original.total_cost_with_tax));
    if (tlx::win32::MessageBox(hwnd(), question, texts::kVoidCaption,
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    const billing::VoidOutcome out = store.VoidBill(id, operator_name_, reason.reason(), Now());
    if (out.void_id == 0) {
        tlx::win32::MessageBox(hwnd(), out.refusal, texts::kVoidCaption, MB_OK | MB_ICONSTOP);
        return;
    }
    // The void is the newest bill: selected in the list read again, then printed from the
    // store as a reprint would print it.
    RefreshBills();
    auto& bills = store.bills();
    const auto rows = bills.RecordCount();
    if (rows == 0) return;
    bills.MoveTo(bills.descending() ? 0 : rows - 1);
    bills_grid_.SetDataSource(&bills_rows_);
    if (CurrentBillId() == out.void_id) ReprintSelectedBill();
}

void CBillsDlg::NewBill(std::string_view print_text) {
    // The tax rate is read anew for every bill.
    auto plan = billing::ComposeBill(print_text, operator_name_, Now(),
                                     billing::TaxRateOf(settings_.Read(settings::kTax)));
    if (plan.store) database_.StoreBill(plan.bill);
    PrintBill(std::move(plan.bill));
}

void CBillsDlg::AddPrintTexts(billing::Bill& bill) {
    bill.company_name = settings_.Read(settings::kCompanyName);
    bill.financial_id = settings_.Read(settings::kFinancialId);
    bill.commercial_name = settings_.Read(settings::kCommercialName);
    for (std::size_t i = 0; i < billing::kLabelCount; ++i) {
        bill.labels[i] = settings_.Read(settings::kBillLabels[i]);
    }
    if (bill.voids) {
        bill.voids->void_label = settings_.Read(settings::kVoidLabel);
        bill.voids->reason_label = settings_.Read(settings::kVoidReasonLabel);
    }
}

void CBillsDlg::PrintBill(billing::Bill bill) {
    AddPrintTexts(bill);
    gdi_printer_.SetJobName("Tellarix bill " + std::to_string(static_cast<std::uint32_t>(bill.id)));
    // The bill stays stored whatever happens; the operator learns why there is no paper.
    RecordPrint(billing::PrintAndHandOver(
        bill, printer_ ? *printer_ : gdi_printer_,
        [this] { return printer_ ? billing::SpoolerJob{} : gdi_printer_.job(); },
        billing::FormatStored(Now())));
    bill.calls.clear();
    RefreshBills();
    ShowOutcomeOfCurrentBill();
}

}  // namespace tlx::console
