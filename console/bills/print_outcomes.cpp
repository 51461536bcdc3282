// The Bills page's side of every print's outcome: stored as the job is handed over, followed
// off the window's thread, settled when the spooler's word comes, shown under the grids and
// marked in the list; a failure or error told in the operator's words, naming the printer.
#include <windows.h>

#include "console/bills/bills_page.h"
#include "console/resource.h"
#include "core/console/texts.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace texts = tlx::console::texts;

void CBillsDlg::RecordPrint(const billing::PrintOutcome& outcome) {
    auto& store = database_.store();
    std::int64_t stored = 0;
    if (outcome.bill_id != 0 && database_.is_open()) {
        stored = store.StoreOutcome(outcome);
        if (stored == 0) ReportDatabaseError(billing::ErrorList(store.errors()));
    }
    // A bill outside the store is followed too: its operator still hears of paper out.
    if (outcome.result == billing::PrintResult::kSent && outcome.job_id != 0) {
        follower_.Follow(stored, outcome);
    }
    if (outcome.result != billing::PrintResult::kFailed) return;
    // Without any printer the words stay as they always were.
    const std::string text =
        outcome.printer.empty()
            ? texts::PrintFailed(static_cast<std::uint32_t>(outcome.bill_id), outcome.reason)
            : billing::OutcomeMessage(outcome);
    tlx::win32::MessageBox(hwnd(), text, texts::kPrintFailedCaption, MB_OK | MB_ICONWARNING);
}

void CBillsDlg::SettleFollowedPrints() {
    auto& store = database_.store();
    std::vector<std::string> troubles;
    for (const PrintFollower::Finished& f : follower_.TakeFinished()) {
        if (f.outcome_id != 0 &&
            !store.SettleOutcome(f.outcome_id, f.outcome.result, f.outcome.reason)) {
            ReportDatabaseError(billing::ErrorList(store.errors()));
        }
        if (billing::NeedsReprint(f.outcome.result)) {
            troubles.push_back(billing::OutcomeMessage(f.outcome));
        }
    }
    // The list and the line first, so the operator reading the message sees the mark.
    bills_rows_.ForgetStyles();
    InvalidateRect(Item(IDC_BILLS_GRID), nullptr, TRUE);
    ShowOutcomeOfCurrentBill();
    for (const std::string& text : troubles) {
        tlx::win32::MessageBox(hwnd(), text, texts::kPrintFailedCaption, MB_OK | MB_ICONWARNING);
    }
}

bool CBillsDlg::NeedsPrintAgain(std::int64_t bill_id) {
    const auto last = database_.store().LastOutcome(bill_id);
    return last && billing::NeedsReprint(last->result);
}

void CBillsDlg::ShowOutcomeOfCurrentBill() {
    const std::int64_t id = CurrentBillId();
    const auto last = id != 0 ? database_.store().LastOutcome(id) : std::nullopt;
    // The line repaints at once when set: only when it says something else.
    const std::string line = last ? billing::OutcomeLine(*last) : std::string();
    if (ItemText(IDC_PRINT_OUTCOME) != line) SetItemText(IDC_PRINT_OUTCOME, line);
    // Most bills are neither voided nor voids: then the print's line has the whole width, and
    // a long printer name is not cut.
    const bool alone = GetWindowTextLengthW(Item(IDC_BILL_STATE)) == 0;
    RECT place{alone ? 12 : 245, 196, 473, 205};  // dialog units, as the page's template
    MapDialogRect(hwnd(), &place);
    // Moved and shown only when it changes: each costs the window server a round trip.
    const tlx::win32::Window outcome_line(Item(IDC_PRINT_OUTCOME));
    const RECT now = outcome_line.RectIn(hwnd());
    if (!EqualRect(&now, &place)) {
        outcome_line.Place(nullptr, place.left, place.top, place.right - place.left,
                           place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const HWND state_line = Item(IDC_BILL_STATE);
    const bool state_shown = (GetWindowLongW(state_line, GWL_STYLE) & WS_VISIBLE) != 0;
    if (state_shown == alone) ShowWindow(state_line, alone ? SW_HIDE : SW_SHOWNA);
}

void CBillsDlg::PointOutBillsToPrintAgain() {
    if (print_again_pointed_out_ || !database_.is_open()) return;
    print_again_pointed_out_ = true;
    // A day back from now, in local time as the store keeps it.
    SYSTEMTIME t{};
    GetLocalTime(&t);
    FILETIME ft{};
    SystemTimeToFileTime(&t, &ft);
    ULARGE_INTEGER at{};
    at.LowPart = ft.dwLowDateTime;
    at.HighPart = ft.dwHighDateTime;
    at.QuadPart -= 24ULL * 3600 * 10'000'000;  // 100 ns units
    ft.dwLowDateTime = at.LowPart;
    ft.dwHighDateTime = at.HighPart;
    FileTimeToSystemTime(&ft, &t);
    const billing::LocalTime since{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    const std::string text = billing::PrintAgainMessage(
        database_.store().BillsToPrintAgain(billing::FormatStored(since)));
    if (!text.empty()) {
        tlx::win32::MessageBox(hwnd(), text, texts::kPrintFailedCaption, MB_OK | MB_ICONWARNING);
    }
}

}  // namespace tlx::console
