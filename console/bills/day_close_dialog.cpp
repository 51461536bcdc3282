#include "console/bills/day_close_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <charconv>

#include "console/bills/gdi_printer.h"
#include "console/resource.h"
#include "core/billing/bill.h"
#include "core/console/settings_keys.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace settings = tlx::console::settings;

namespace {

// The operator's texts of the day close.
constexpr std::string_view kCaption = "Day close";
constexpr std::string_view kConfirmCaption = "Close the day";
constexpr std::string_view kNeedCounted = "Enter the counted cash, for example 150.00.";
constexpr std::string_view kNeedFloat = "Enter the opening float, for example 50.00.";

std::string StoredNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return billing::FormatStored({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
}

std::string Signed(billing::Cents cents) {
    std::string out = cents > 0 ? "+" : "";
    return out += billing::FormatCents(cents);
}

std::string Printed(const std::string& stored) {
    const auto t = billing::ParseStored(stored);
    return t ? billing::FormatPrinted(*t) : stored;
}

// The next period's opening float, the last one offered.
class OpeningFloatDlg : public tlx::win32::Dialog {
  public:
    explicit OpeningFloatDlg(billing::Cents offered) : amount_(offered) {}
    billing::Cents amount() const { return amount_; }

  protected:
    bool OnInitDialog() override {
        SetItemText(IDC_OPENING_FLOAT, billing::FormatCents(amount_));
        return true;
    }
    void OnOK() override {
        const auto amount = billing::ParseCents(ItemText(IDC_OPENING_FLOAT));
        if (!amount || *amount < 0) {
            tlx::win32::MessageBox(hwnd(), kNeedFloat, kCaption, MB_OK | MB_ICONEXCLAMATION);
            SetFocus(Item(IDC_OPENING_FLOAT));
            return;
        }
        amount_ = *amount;
        End(IDOK);
    }

  private:
    billing::Cents amount_;
};

std::int64_t ReadNumber(const std::string& text) {
    std::int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

}  // namespace

DayCloseDialog::DayCloseDialog(BillsDatabase& database, SettingsStore& settings,
                               const std::string& operator_name, billing::ReportPrinter& printer)
    : database_(database), settings_(settings), operator_name_(operator_name), printer_(printer) {}

INT_PTR DayCloseDialog::Run(HWND parent) {
    db_ = billing::OpenForDayClose(std::string(billing::kStoreFile), true);
    return RunModal(IDD_DAY_CLOSE, parent);
}

bool DayCloseDialog::OnInitDialog() {
    const HWND list = Item(IDC_CLOSE_HISTORY);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const std::pair<const wchar_t*, int> columns[] = {
        {L"No.", 35}, {L"Period", 225}, {L"Net total", 70}, {L"Difference", 70}};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | (i >= 2 ? LVCF_FMT : 0);
        c.fmt = LVCFMT_RIGHT;
        c.pszText = const_cast<wchar_t*>(columns[i].first);
        c.cx = columns[i].second;
        c.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    SetItemText(IDC_MISSING_CLOSES,
                MissingClosesNotice(std::string(billing::kStoreFile), settings_));
    ShowFigures();
    ShowHistory();
    return true;
}

bool DayCloseDialog::OnCommand(int id, int code, HWND control) {
    switch (id) {
        case IDC_COUNTED_CASH:
            if (code == EN_CHANGE) ShowDifference();
            return true;
        case IDC_PRINT_X:
            PrintX();
            return true;
        case IDC_CLOSE_DAY:
            CloseTheDay();
            return true;
        case IDC_REPRINT_CLOSE:
            ReprintSelected();
            return true;
        default:
            return Dialog::OnCommand(id, code, control);
    }
}

bool DayCloseDialog::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    // The difference red when cash is missing, green when there is more than expected.
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lparam) == Item(IDC_CASH_DIFFERENCE) &&
        difference_) {
        const HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, *difference_ < 0   ? RGB(192, 0, 0)
                         : *difference_ > 0 ? RGB(0, 128, 0)
                                            : GetSysColor(COLOR_WINDOWTEXT));
        SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return Dialog::OnMessage(msg, wparam, lparam, result);
}

billing::ReportWords DayCloseDialog::Words() {
    billing::ReportWords words;
    for (std::size_t i = 0; i < billing::kReportWordCount; ++i) {
        words.words[i] = settings_.Read(settings::kReportWords[i]);
    }
    words.company_name = settings_.Read(settings::kCompanyName);
    return words;
}

billing::DayClose DayCloseDialog::ForConsole(billing::DayClose close) const {
    auto& store = database_.store();
    close.operator_name = store.FromStore(close.operator_name);
    close.note = store.FromStore(close.note);
    return close;
}

void DayCloseDialog::ShowFigures() {
    std::string error = "the bills store is not open";
    figures_ = db_ ? billing::CurrentFigures(db_.get(), StoredNow(), &error) : std::nullopt;
    std::string text;
    if (figures_) {
        for (const auto& line : billing::XReportLines(*figures_, Words())) text += line + "\r\n";
    } else {
        text = "The bills store cannot be read: " + error;
    }
    SetItemText(IDC_DAY_FIGURES, text);
    tlx::win32::Window(Item(IDC_PRINT_X)).Enable(figures_.has_value());
    ShowDifference();
}

void DayCloseDialog::ShowDifference() {
    const auto counted = billing::ParseCents(ItemText(IDC_COUNTED_CASH));
    difference_.reset();
    if (counted && figures_) difference_ = *counted - figures_->expected_cash;
    SetItemText(IDC_CASH_DIFFERENCE, difference_ ? Signed(*difference_) : std::string());
    tlx::win32::Window(Item(IDC_CLOSE_DAY)).Enable(difference_.has_value());
    InvalidateRect(Item(IDC_CASH_DIFFERENCE), nullptr, TRUE);
}

void DayCloseDialog::ShowHistory() {
    history_ = db_ ? billing::CloseHistory(db_.get()) : std::vector<billing::DayClose>{};
    const HWND list = Item(IDC_CLOSE_HISTORY);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    // The newest on top.
    for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
        const billing::DayClose& z = *it;
        const std::string cells[] = {
            std::to_string(z.number), Printed(z.figures.start) + " - " + Printed(z.closed_at),
            billing::FormatCents(z.figures.net_total), Signed(z.difference)};
        const int row = static_cast<int>(it - history_.rbegin());
        for (int i = 0; i < 4; ++i) {
            std::wstring wide = tlx::win32::WideFromAnsi(cells[i]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = i;
            item.pszText = wide.data();
            SendMessageW(list, i == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    tlx::win32::Window(Item(IDC_REPRINT_CLOSE)).Enable(!history_.empty());
}

void DayCloseDialog::Print(const std::vector<std::string>& lines, const std::string& job) {
    if (auto* gdi = dynamic_cast<GdiPrinter*>(&printer_)) gdi->SetJobName(job);
    try {
        billing::LayoutReport(lines, !settings_.Read(settings::kCompanyName).empty(), printer_);
    } catch (const billing::PrintFailure& failure) {
        tlx::win32::MessageBox(hwnd(), job + " could not be printed: " + failure.what, kCaption,
                               MB_OK | MB_ICONWARNING);
    }
}

void DayCloseDialog::PrintX() {
    ShowFigures();  // as they stand now
    if (figures_) Print(billing::XReportLines(*figures_, Words()), "Tellarix X report");
}

void DayCloseDialog::CloseTheDay() {
    ShowFigures();  // a bill printed meanwhile is in the figures asked about
    const auto counted = billing::ParseCents(ItemText(IDC_COUNTED_CASH));
    if (!counted || !figures_ || !db_) {
        tlx::win32::MessageBox(hwnd(), kNeedCounted, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::string question = "Close the day now?\n\nExpected cash " +
                                 billing::FormatCents(figures_->expected_cash) + ", counted " +
                                 billing::FormatCents(*counted) + ", difference " +
                                 Signed(*counted - figures_->expected_cash) +
                                 ".\nThe close is stored for good, numbered and printed.";
    if (tlx::win32::MessageBox(hwnd(), question, kConfirmCaption,
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    OpeningFloatDlg opening(figures_->opening_float);  // the last close's next float
    if (opening.RunModal(IDD_OPENING_FLOAT, hwnd()) != IDOK) return;
    auto& store = database_.store();
    const billing::CloseOutcome out = billing::CloseDay(
        db_.get(), {store.ToStore(operator_name_), store.ToStore(ItemText(IDC_CLOSE_NOTE)),
                    StoredNow(), *counted, opening.amount()});
    if (out.close.number == 0) {
        tlx::win32::MessageBox(hwnd(), "The day could not be closed: " + out.error, kCaption,
                               MB_OK | MB_ICONSTOP);
        return;
    }
    if (ReadNumber(settings_.Read(settings::kLastDayClose)) < out.close.number) {
        settings_.Write(settings::kLastDayClose, std::to_string(out.close.number));
    }
    Print(billing::ZReportLines(ForConsole(out.close), Words()),
          "Tellarix Z report " + std::to_string(out.close.number));
    SetItemText(IDC_COUNTED_CASH, "");
    SetItemText(IDC_CLOSE_NOTE, "");
    SetItemText(IDC_MISSING_CLOSES,
                MissingClosesNotice(std::string(billing::kStoreFile), settings_));
    ShowFigures();
    ShowHistory();
    if (after_close) after_close();
}

void DayCloseDialog::ReprintSelected() {
    const HWND list = Item(IDC_CLOSE_HISTORY);
    int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (row < 0) row = 0;  // the newest
    if (row >= static_cast<int>(history_.size())) return;
    const std::int64_t number =
        history_[history_.size() - 1 - static_cast<std::size_t>(row)].number;
    if (const auto z = billing::ReadClose(db_.get(), number)) {
        Print(billing::ZReportLines(ForConsole(*z), Words()),
              "Tellarix Z report " + std::to_string(number));
    }
}

std::string MissingClosesNotice(const std::string& store_path, SettingsStore& settings) {
    const billing::sqlite::Db db = billing::OpenForDayClose(store_path, true);
    if (!db) return "";
    const std::int64_t known = ReadNumber(settings.Read(settings::kLastDayClose));
    const auto missing = billing::MissingCloses(db.get(), known);
    if (missing.empty()) return "";
    std::string list;
    for (std::size_t i = 0; i < missing.size() && i < 20; ++i) {
        list += (i ? ", " : "") + std::to_string(missing[i]);
    }
    if (missing.size() > 20) list += ", ...";
    return "The bills store lacks day close" + std::string(missing.size() > 1 ? "s " : " ") + list +
           " (restored from an older copy?). Numbering goes on from day close " +
           std::to_string(billing::LastCloseNumber(db.get())) + ".";
}

}  // namespace tlx::console
