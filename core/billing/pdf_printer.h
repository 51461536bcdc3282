// Bills as PDF files of our own making, for a shop without a printer or a customer who wants the
// bill by mail: the layout's lines in the standard Helvetica font (every PDF reader has it, so
// nothing is embedded), one PDF page per printed page, texts in WinAnsi (the console's code page
// 1252: the euro sign and accents as they are). Measures with Helvetica's published widths, so
// a line wraps in the file where the layout expects it to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/billing/report_printer.h"

namespace tlx::billing {

// An A4 sheet in the layout's unit (a hundredth of an inch).
inline constexpr int kA4Width = 827;
inline constexpr int kA4Height = 1169;

// Helvetica's width of an ANSI text at a font `em` units high, rounded up.
int HelveticaWidth(std::string_view text, int em);

class PdfPrinter : public ReportPrinter {
  public:
    // The page, whole sheet printable, in the layout's unit.
    explicit PdfPrinter(int page_width = kA4Width, int page_height = kA4Height)
        : page_width_(page_width), page_height_(page_height) {}

    void BeginDocument() override;
    void EndDocument() override;
    void PrintText(int left, int top, int right, int bottom, std::string_view text,
                   int format) override;
    void FinishDocument() override {}
    void SetFont(const FontSpec& font) override;
    int PageWidth() override { return page_width_; }
    int MeasureText(std::string_view text, int width, int format) override;
    int TextWidth(std::string_view text) override { return HelveticaWidth(text, em_); }

    // The finished file, once EndDocument has run.
    const std::string& bytes() const { return file_; }
    int pages() const { return page_count_; }

  private:
    std::vector<std::string> Wrapped(std::string_view text, int width, int format);
    std::string File() const;

    int page_width_, page_height_;
    int em_ = 10;
    PageFlow flow_{0};
    std::vector<std::string> pages_;  // each page's content stream
    std::string file_;
    int page_count_ = 0;
};

// A UTF-8 text (the store's) in the console's code page 1252; what it lacks becomes '?'.
std::string WinAnsiFromUtf8(std::string_view text);

// Writes a finished PDF to `path` (UTF-8), replacing a file there; throws PrintFailure saying
// why it could not.
void SavePdf(const std::string& bytes, const std::string& path);

}  // namespace tlx::billing
