// A bill on screen before it goes to paper. The preview printer is a report printer that keeps
// what the layout draws, page by page, measuring with the default printer's own device (so
// lines wrap and pages break where they will on paper) or, without a printer, with the
// screen on an A4 sheet. The preview window shows those pages one under the other, a gap
// marking each page break, with scroll bars and zoom (+ and -, or Ctrl and the wheel).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/billing/report_printer.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace tlx::console {

class PreviewPrinter : public tlx::billing::ReportPrinter {
  public:
    struct Item {
        int page;
        RECT rect;  // on its page
        std::wstring text;
        int format;
    };

    void BeginDocument() override;
    void EndDocument() override {}
    void PrintText(int left, int top, int right, int bottom, std::string_view text,
                   int format) override;
    void FinishDocument() override {}
    void SetFont(const tlx::billing::FontSpec& font) override { font_spec_ = font; }
    int PageWidth() override { return page_width_; }
    int MeasureText(std::string_view text, int width, int format) override;
    int TextWidth(std::string_view text) override;

    const std::vector<Item>& items() const { return items_; }
    int pages() const { return flow_.page() + 1; }
    int page_height() const { return page_height_; }
    const tlx::billing::FontSpec& font() const { return font_spec_; }
    // The printer the pages are measured for; empty without one.
    const std::wstring& printer_name() const { return printer_name_; }

  private:
    tlx::billing::FontSpec font_spec_;
    tlx::win32::MemoryDc dc_;
    tlx::win32::GdiObject<HFONT> font_;
    std::wstring printer_name_;
    int page_width_ = 0, page_height_ = 0;
    tlx::billing::PageFlow flow_{0};
    std::vector<Item> items_;
};

class PreviewWindow : public tlx::win32::Wnd {
  public:
    // Shows the pages, owned by `owner`, titled "<title> - Preview (100%)".
    bool Show(HWND owner, const std::string& title, PreviewPrinter pages);

  protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint(HDC dc, const PAINTSTRUCT& ps) override;
    void OnSize(int width, int height) override;

  private:
    int Pixels(int units) const;
    void Zoom(int step);
    void Scroll(int bar, int to);
    void UpdateScrollBars();

    PreviewPrinter pages_;
    std::string title_;
    int zoom_ = 100;  // percent
    int dpi_ = 96;
    POINT scroll_{};
};

}  // namespace tlx::console
