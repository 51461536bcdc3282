// The bill's printer: GDI on the Windows default printer, one print job per bill.
//
// Unit: a hundredth of an inch, so the layout's 20-unit margins are 5 mm from the printable
// area's edges and its 7-point font is about 10 units high; the page width is the printer's
// printable width in that unit. A line that would run past the printable height starts a new
// page instead of being cut: the page breaks above it and the lines after it follow on.
#pragma once

#include <windows.h>

#include <string>

#include "core/billing/layout.h"
#include "core/billing/print_outcome.h"
#include "win32/handles.h"

namespace tlx::console {

class GdiPrinter : public tlx::billing::ReportPrinter {
  public:
    GdiPrinter() = default;
    ~GdiPrinter() override;

    // The next print job's name, as the printer queue shows it.
    void SetJobName(std::string name) { job_name_ = std::move(name); }
    // Where the last document went: the printer's name (once one was found) and the job id
    // StartDoc gave (0 when it gave none), kept after the document ends or fails.
    const tlx::billing::SpoolerJob& job() const { return job_; }

    void BeginDocument() override;
    void EndDocument() override;
    void PrintText(int left, int top, int right, int bottom, std::string_view text,
                   int format) override;
    void FinishDocument() override;
    void SetFont(const tlx::billing::FontSpec& font) override;
    int PageWidth() override;
    int MeasureText(std::string_view text, int width, int format) override;
    int TextWidth(std::string_view text) override;

  private:
    void Release();
    void NewPage();
    [[noreturn]] void Fail(const std::string& what);

    std::string job_name_ = "Tellarix bill";
    tlx::billing::SpoolerJob job_;
    tlx::billing::FontSpec font_spec_;
    HDC dc_ = nullptr;
    tlx::win32::GdiObject<HFONT> font_;
    HGDIOBJ old_font_ = nullptr;
    bool in_page_ = false;
    bool in_document_ = false;
    int page_height_ = 0;  // printable height in units
    int page_top_ = 0;     // the layout's y at the top of the current page
};

// The bill's font at the layout's unit, for a device context mapped a hundredth of an inch a unit.
HFONT CreateBillFont(const tlx::billing::FontSpec& font);

}  // namespace tlx::console
