// What a bill is printed on: the operations the bill's layout uses. The console prints through
// GDI on the default printer, shows a preview on screen and writes PDF files; tests and
// benchmarks record the calls. The unit is a hundredth of an inch on every printer.
#pragma once

#include <string>
#include <string_view>

namespace tlx::billing {

// Text formats, the values of GDI's DrawText flags.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignCentre = 0x1;           // DT_CENTER
inline constexpr int kCentreWrapped = 0x1 | 0x10;  // DT_CENTER | DT_WORDBREAK

struct FontSpec {
    std::string face = "Arial";
    int points = 7;
    int weight = 400;
    bool italic = false, underline = false, strikeout = false;
    int charset = 0;  // ANSI_CHARSET
};

// A failure of the printer; what() names it for the operator.
struct PrintFailure {
    std::string what;
};

class ReportPrinter {
  public:
    virtual ~ReportPrinter() = default;
    virtual void BeginDocument() = 0;
    virtual void EndDocument() = 0;
    // Texts are the console's ANSI byte strings.
    virtual void PrintText(int left, int top, int right, int bottom, std::string_view text,
                           int format) = 0;
    virtual void FinishDocument() = 0;
    virtual void SetFont(const FontSpec& font) = 0;
    virtual int PageWidth() = 0;
    // The height `text` takes when drawn `width` wide with `format`.
    virtual int MeasureText(std::string_view text, int width, int format) = 0;
    // How wide `text` is on one line, unwrapped.
    virtual int TextWidth(std::string_view text) = 0;
};

// Where the layout's lines fall on pages `height` high: a line that does not fit below the
// page's last one opens the next page, which starts a margin above that line.
class PageFlow {
  public:
    explicit PageFlow(int height) : height_(height) {}
    // True when the line from `top` to `bottom` opens a new page.
    bool Place(int top, int bottom, int margin) {
        if (bottom - page_top_ <= height_ || top <= page_top_) return false;
        page_top_ = top - margin;
        ++page_;
        return true;
    }
    int page() const { return page_; }
    // The layout's y on the current page.
    int OnPage(int y) const { return y - page_top_; }

  private:
    int height_;
    int page_top_ = 0;
    int page_ = 0;
};

}  // namespace tlx::billing
