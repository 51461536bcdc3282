// The Bills page's Preview and Save as PDF: the selected bill laid out as Print lays it out,
// on screen or into a file, with or without a printer.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include "console/bills/bills_page.h"
#include "core/billing/layout.h"
#include "core/billing/pdf_printer.h"
#include "core/console/texts.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;
namespace texts = tlx::console::texts;

void CBillsDlg::PreviewSelectedBill() {
    auto bill = SelectedBill();
    if (!bill) return;
    AddPrintTexts(*bill);
    const auto id = static_cast<std::uint32_t>(bill->id);
    PreviewPrinter pages;
    try {
        billing::LayoutBill(*bill, pages);
    } catch (const billing::PrintFailure& failure) {
        tlx::win32::MessageBox(hwnd(), texts::PreviewFailed(id, failure.what),
                               texts::kPreviewCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    preview_.Destroy();  // one preview at a time: the newest
    if (!preview_.Show(GetAncestor(hwnd(), GA_ROOT), texts::BillTitle(id), std::move(pages))) {
        tlx::win32::MessageBox(hwnd(),
                               texts::PreviewFailed(id, tlx::win32::LastErrorText(GetLastError())),
                               texts::kPreviewCaption, MB_OK | MB_ICONWARNING);
    }
}

void CBillsDlg::SaveSelectedBillAsPdf() {
    auto bill = SelectedBill();
    if (!bill) return;
    AddPrintTexts(*bill);
    const auto id = static_cast<std::uint32_t>(bill->id);

    std::wstring file = tlx::win32::WideFromAnsi(texts::PdfFileName(id));
    file.resize(MAX_PATH * 4, L'\0');
    const std::wstring title = tlx::win32::WideFromAnsi(texts::kSavePdfTitle);
    const std::wstring filter =
        tlx::win32::WideFromAnsi(texts::kPdfFiles) + L'\0' + L"*.pdf" + L'\0' + L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetAncestor(hwnd(), GA_ROOT);
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"pdf";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return;  // the operator changed their mind
    file.resize(wcslen(file.c_str()));

    // A sheet of A4, as the file is most likely printed from or sent by mail.
    billing::PdfPrinter pdf;
    try {
        billing::LayoutBill(*bill, pdf);
        billing::SavePdf(pdf.bytes(), tlx::win32::Utf8FromWide(file));
    } catch (const billing::PrintFailure& failure) {
        tlx::win32::MessageBox(hwnd(), texts::PdfNotSaved(id, failure.what), texts::kSavePdfCaption,
                               MB_OK | MB_ICONWARNING);
        return;
    }
    tlx::win32::MessageBox(hwnd(), texts::PdfSaved(id, tlx::win32::AnsiFromWide(file)),
                           texts::kSavePdfCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace tlx::console
