#include "console/bills/gdi_printer.h"

#include <winspool.h>

#include <vector>

#include "win32/text.h"

namespace tlx::console {
namespace {

constexpr int kUnitsPerInch = 100;

// The system's words for why printing stopped, put inside a sentence of ours: no full stop.
std::string LastErrorText() {
    std::string out = tlx::win32::LastErrorText(GetLastError());
    while (!out.empty() && out.back() == '.') out.pop_back();
    return out;
}

}  // namespace

GdiPrinter::~GdiPrinter() {
    Release();
}

void GdiPrinter::Release() {
    if (dc_) {
        if (in_page_) EndPage(dc_);
        if (in_document_) AbortDoc(dc_);
        if (old_font_) SelectObject(dc_, old_font_);
        DeleteDC(dc_);
    }
    dc_ = nullptr;
    old_font_ = nullptr;
    font_.Reset();
    in_page_ = in_document_ = false;
}

void GdiPrinter::Fail(const std::string& what) {
    Release();
    throw tlx::billing::PrintFailure{what};
}

void GdiPrinter::SetFont(const tlx::billing::FontSpec& font) {
    font_spec_ = font;
}

void GdiPrinter::BeginDocument() {
    Release();
    job_ = {};
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::vector<wchar_t> name(size ? size : 1);
    if (size == 0 || !GetDefaultPrinterW(name.data(), &size)) {
        Fail("no printer is set up on this computer");
    }
    job_.printer = tlx::win32::AnsiFromWide(name.data());
    dc_ = CreateDCW(L"WINSPOOL", name.data(), nullptr, nullptr);
    if (!dc_) Fail("the printer cannot be reached (" + LastErrorText() + ")");

    // A hundredth of an inch a unit, y going down, from the printable area's corner.
    SetMapMode(dc_, MM_ANISOTROPIC);
    SetWindowExtEx(dc_, kUnitsPerInch, kUnitsPerInch, nullptr);
    SetViewportExtEx(dc_, GetDeviceCaps(dc_, LOGPIXELSX), GetDeviceCaps(dc_, LOGPIXELSY), nullptr);
    page_height_ =
        MulDiv(GetDeviceCaps(dc_, VERTRES), kUnitsPerInch, GetDeviceCaps(dc_, LOGPIXELSY));
    page_top_ = 0;

    font_.Reset(CreateBillFont(font_spec_));
    if (font_) old_font_ = SelectObject(dc_, font_.Get());
    SetBkMode(dc_, TRANSPARENT);

    const std::wstring job = tlx::win32::WideFromAnsi(job_name_);
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = job.c_str();
    const int job_id = StartDocW(dc_, &doc);
    if (job_id <= 0) Fail("the print job could not start (" + LastErrorText() + ")");
    job_.job_id = static_cast<std::uint32_t>(job_id);
    in_document_ = true;
    NewPage();
}

void GdiPrinter::NewPage() {
    if (in_page_ && EndPage(dc_) <= 0)
        Fail("the page could not be printed (" + LastErrorText() + ")");
    in_page_ = false;
    if (StartPage(dc_) <= 0) Fail("the page could not start (" + LastErrorText() + ")");
    in_page_ = true;
    // StartPage resets the device context on some drivers: set the unit again.
    SetMapMode(dc_, MM_ANISOTROPIC);
    SetWindowExtEx(dc_, kUnitsPerInch, kUnitsPerInch, nullptr);
    SetViewportExtEx(dc_, GetDeviceCaps(dc_, LOGPIXELSX), GetDeviceCaps(dc_, LOGPIXELSY), nullptr);
    if (font_) SelectObject(dc_, font_.Get());
    SetBkMode(dc_, TRANSPARENT);
}

int GdiPrinter::PageWidth() {
    if (!dc_) return 0;
    return MulDiv(GetDeviceCaps(dc_, HORZRES), kUnitsPerInch, GetDeviceCaps(dc_, LOGPIXELSX));
}

int GdiPrinter::MeasureText(std::string_view text, int width, int format) {
    if (!dc_) return 0;
    const std::wstring wide = tlx::win32::WideFromAnsi(text);
    RECT r{0, 0, width, 0};
    DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
              static_cast<UINT>(format) | DT_CALCRECT | DT_NOPREFIX);
    return r.bottom - r.top;
}

int GdiPrinter::TextWidth(std::string_view text) {
    if (!dc_) return 0;
    const std::wstring wide = tlx::win32::WideFromAnsi(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

void GdiPrinter::PrintText(int left, int top, int right, int bottom, std::string_view text,
                           int format) {
    if (!dc_) return;
    // A line that does not fit below the page's last one opens the next page.
    if (bottom - page_top_ > page_height_ && top > page_top_) {
        NewPage();
        page_top_ = top - tlx::billing::kMargin;
    }
    const std::wstring wide = tlx::win32::WideFromAnsi(text);
    RECT r{left, top - page_top_, right, bottom - page_top_};
    DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
              static_cast<UINT>(format) | DT_NOPREFIX);
}

void GdiPrinter::EndDocument() {
    if (!dc_) return;
    if (in_page_ && EndPage(dc_) <= 0)
        Fail("the page could not be printed (" + LastErrorText() + ")");
    in_page_ = false;
    if (EndDoc(dc_) <= 0) Fail("the print job could not be finished (" + LastErrorText() + ")");
    in_document_ = false;
}

void GdiPrinter::FinishDocument() {
    Release();
}

HFONT CreateBillFont(const tlx::billing::FontSpec& font) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(font.points, kUnitsPerInch, 72);
    lf.lfWeight = font.weight;
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfStrikeOut = font.strikeout;
    lf.lfCharSet = static_cast<BYTE>(font.charset);
    const std::wstring face = tlx::win32::WideFromAnsi(font.face);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

}  // namespace tlx::console
