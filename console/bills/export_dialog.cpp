#include "console/bills/export_dialog.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <optional>
#include <string>

#include "console/resource.h"
#include "core/billing/store.h"
#include "core/console/store_recovery.h"
#include "win32/com_ptr.h"
#include "win32/dialog.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;
using tlx::win32::Utf8FromWide;

namespace {

std::wstring ItemTextW(HWND item) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string RegionalValue(LCTYPE type) {
    wchar_t value[16] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 16);
    return n > 1 ? Utf8FromWide(std::wstring_view(value, static_cast<std::size_t>(n - 1)))
                 : std::string();
}

// The platform's folder dialog; the older one where it is missing. Nothing when cancelled.
std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& start) {
    tlx::win32::ComPtr<IFileOpenDialog> dialog;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileOpenDialog, dialog.PutVoid()))) {
        FILEOPENDIALOGOPTIONS options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
        tlx::win32::ComPtr<IShellItem> folder;
        if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(
                                  start.c_str(), nullptr, IID_IShellItem, folder.PutVoid()))) {
            dialog->SetFolder(folder.Get());
        }
        if (FAILED(dialog->Show(owner))) return std::nullopt;  // cancelled, or nothing to show
        tlx::win32::ComPtr<IShellItem> chosen;
        PWSTR path = nullptr;
        if (FAILED(dialog->GetResult(chosen.Put())) ||
            FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            return std::nullopt;
        }
        std::wstring picked(path);
        CoTaskMemFree(path);
        return picked;
    }
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = L"Export the bills into this folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(list, path);
    CoTaskMemFree(list);
    return ok ? std::optional<std::wstring>(path) : std::nullopt;
}

std::string IsoDateOf(const SYSTEMTIME& t) {
    return IsoDate(t.wYear, t.wMonth, t.wDay);
}

class ExportDlg : public tlx::win32::Dialog {
  public:
    std::string from, to;  // "YYYY-MM-DD"
    std::wstring folder;

  protected:
    bool OnInitDialog() override {
        // This month so far, into the operator's documents.
        SYSTEMTIME today{};
        GetLocalTime(&today);
        SYSTEMTIME first = today;
        first.wDay = 1;
        DateTime_SetSystemtime(Item(IDC_EXPORT_FROM), GDT_VALID, &first);
        DateTime_SetSystemtime(Item(IDC_EXPORT_TO), GDT_VALID, &today);
        PWSTR documents = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents))) {
            SetWindowTextW(Item(IDC_EXPORT_FOLDER), documents);
        }
        CoTaskMemFree(documents);
        return true;
    }
    bool OnButtonClicked(int id, HWND control) override {
        if (id != IDC_EXPORT_BROWSE) return Dialog::OnButtonClicked(id, control);
        if (auto picked = PickFolder(hwnd(), ItemTextW(Item(IDC_EXPORT_FOLDER)))) {
            SetWindowTextW(Item(IDC_EXPORT_FOLDER), picked->c_str());
        }
        return true;
    }
    void OnOK() override {
        SYSTEMTIME t{};
        DateTime_GetSystemtime(Item(IDC_EXPORT_FROM), &t);
        from = IsoDateOf(t);
        DateTime_GetSystemtime(Item(IDC_EXPORT_TO), &t);
        to = IsoDateOf(t);
        folder = ItemTextW(Item(IDC_EXPORT_FOLDER));
        const std::string problem = ExportRangeProblem(from, to, Utf8FromWide(folder));
        if (!problem.empty()) {
            tlx::win32::MessageBox(hwnd(), problem, kExportCaption, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        End(IDOK);
    }
};

}  // namespace

void ExportBills(HWND owner) {
    ExportDlg ask;
    if (ask.RunModal(IDD_EXPORT, owner) != IDOK) return;
    // Read on a connection of its own: a missing or unreadable store is told as the outcome.
    const HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const billing::CsvFormat format =
        CsvFormatOfRegion(RegionalValue(LOCALE_SLIST), RegionalValue(LOCALE_SDECIMAL));
    const billing::ExportOutcome outcome = billing::ExportCsv(
        std::string(billing::kStoreFile), ask.from, ask.to, Utf8FromWide(ask.folder), format);
    SetCursor(before);
    const std::string text = ExportSummary(outcome, Utf8FromWide(ask.folder));
    tlx::win32::MessageBox(owner, tlx::win32::AnsiFromWide(tlx::win32::WideFromUtf8(text)),
                           kExportCaption, MB_OK | (outcome.ok ? MB_ICONINFORMATION : MB_ICONSTOP));
}

}  // namespace tlx::console
