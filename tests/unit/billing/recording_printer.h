// A printer for tests and benchmarks: records every call as a line of text, with a fixed page
// and a simple measure: each line is `line_height` high and a wrapped text breaks after
// `chars_per_line` characters a line; every character is `line_height` wide.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/billing/report_printer.h"

namespace tlx::billing {

class RecordingPrinter : public ReportPrinter {
  public:
    explicit RecordingPrinter(int page_width = 800, int line_height = 10, int chars_per_line = 60)
        : page_width_(page_width), line_height_(line_height), chars_per_line_(chars_per_line) {}

    void BeginDocument() override { calls.push_back("BeginDocument"); }
    void EndDocument() override { calls.push_back("EndDocument"); }
    void PrintText(int left, int top, int right, int bottom, std::string_view text,
                   int format) override {
        calls.push_back("PrintText " + std::to_string(left) + "," + std::to_string(top) + "," +
                        std::to_string(right) + "," + std::to_string(bottom) + " " +
                        std::to_string(format) + " [" + std::string(text) + "]");
        texts.emplace_back(text);
    }
    void FinishDocument() override { calls.push_back("FinishDocument"); }
    void SetFont(const FontSpec& font) override {
        calls.push_back("SetFont " + font.face + " " + std::to_string(font.points) + " " +
                        std::to_string(font.weight));
    }
    int PageWidth() override { return page_width_; }
    int MeasureText(std::string_view text, int, int format) override {
        calls.push_back("MeasureText [" + std::string(text) + "] " + std::to_string(format));
        if (!(format & 0x10) || chars_per_line_ <= 0) return line_height_;
        const auto per_line = static_cast<std::size_t>(chars_per_line_);
        const auto lines = (text.size() + per_line - 1) / per_line;
        return line_height_ * static_cast<int>(lines > 0 ? lines : 1);
    }

    int TextWidth(std::string_view text) override {
        return line_height_ * static_cast<int>(text.size());
    }

    std::vector<std::string> calls;
    // The texts of the PrintText calls alone, in order.
    std::vector<std::string> texts;

  private:
    int page_width_, line_height_, chars_per_line_;
};

}  // namespace tlx::billing
