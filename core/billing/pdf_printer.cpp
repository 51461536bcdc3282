#include "core/billing/pdf_printer.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/billing/layout.h"
#include "core/text/numbers.h"

namespace tlx::billing {
namespace {

// Helvetica's advance widths in thousandths of the em, codes 32 to 255 of WinAnsi (Adobe's
// Helvetica metrics; codes WinAnsi leaves empty are as wide as a blank).
constexpr std::array<int, 224> kHelvetica = {
    278,  278, 355, 556, 556, 889,  667,  191,  333, 333,  389, 584, 278,  333, 278, 278,  // 32
    556,  556, 556, 556, 556, 556,  556,  556,  556, 556,  278, 278, 584,  584, 584, 556,  // 48
    1015, 667, 667, 722, 722, 667,  611,  778,  722, 278,  500, 667, 556,  833, 722, 778,  // 64
    667,  778, 722, 667, 611, 722,  667,  944,  667, 667,  611, 278, 278,  278, 469, 556,  // 80
    333,  556, 556, 500, 556, 556,  278,  556,  556, 222,  222, 500, 222,  833, 556, 556,  // 96
    556,  556, 333, 500, 278, 556,  500,  722,  500, 500,  500, 334, 260,  334, 584, 278,  // 112
    556,  278, 222, 556, 333, 1000, 556,  556,  333, 1000, 667, 333, 1000, 278, 611, 278,  // 128
    278,  222, 222, 333, 333, 350,  556,  1000, 333, 1000, 500, 333, 944,  278, 500, 667,  // 144
    278,  333, 556, 556, 556, 556,  260,  556,  333, 737,  370, 556, 584,  333, 737, 333,  // 160
    400,  584, 333, 333, 333, 556,  556,  278,  333, 333,  365, 556, 834,  834, 834, 611,  // 176
    667,  667, 667, 667, 667, 667,  1000, 722,  667, 667,  667, 667, 278,  278, 278, 278,  // 192
    722,  722, 778, 778, 778, 778,  778,  584,  778, 722,  722, 722, 722,  667, 667, 611,  // 208
    556,  556, 556, 556, 556, 556,  889,  500,  556, 556,  556, 556, 278,  278, 278, 278,  // 224
    556,  556, 556, 556, 556, 556,  556,  584,  611, 556,  556, 556, 556,  500, 556, 500,  // 240
};
// Arial's line on Windows: ascent and descent in thousandths of the em.
constexpr int kAscent = 905, kDescent = 212;
constexpr int kWordBreak = 0x10;

int Rounded(int value, int em) {
    return (value * em + 500) / 1000;
}

// A length of ours in PDF points, written without the process's locale.
std::string Points(double units) {
    return text::FormatFixed(units * 72.0 / 100.0, 2);
}

// A PDF string: its bytes as WinAnsi codes, the delimiters escaped, the rest in octal.
std::string PdfString(std::string_view text) {
    std::string out = "(";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 32 || byte > 126) {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", byte);
            out += octal;
        } else {
            out += c;
        }
    }
    return out + ")";
}

// Code page 1252's characters from 0x80 to 0x9F (0: none there).
constexpr std::array<char32_t, 32> kHighCodes = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::string WinAnsiFromUtf8(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80    ? 0
                          : lead >= 0xF0 ? 3
                          : lead >= 0xE0 ? 2
                          : lead >= 0xC0 ? 1
                                         : -1;
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        std::size_t n = 1;
        for (; extra > 0 && n <= static_cast<std::size_t>(extra); ++n) {
            const auto next = i + n < text.size() ? static_cast<unsigned char>(text[i + n]) : 0;
            if ((next & 0xC0) != 0x80) break;
            code = (code << 6) | (next & 0x3F);
        }
        const bool whole = extra >= 0 && n == static_cast<std::size_t>(extra) + 1;
        i += n;
        char byte = '?';
        if (whole && (code < 0x80 || (code >= 0xA0 && code <= 0xFF)))
            byte = static_cast<char>(code);
        for (std::size_t k = 0; whole && code >= 0x100 && k < kHighCodes.size(); ++k)
            if (kHighCodes[k] == code) byte = static_cast<char>(0x80 + k);
        out += byte;
    }
    return out;
}

int HelveticaWidth(std::string_view text, int em) {
    long thousandths = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32) thousandths += kHelvetica[byte - 32];
    }
    return static_cast<int>((thousandths * em + 999) / 1000);
}

void PdfPrinter::SetFont(const FontSpec& font) {
    // As GDI makes a font of so many points in a hundredth-of-an-inch unit.
    em_ = (font.points * 100 + 36) / 72;
}

void PdfPrinter::BeginDocument() {
    pages_.assign(1, std::string());
    flow_ = PageFlow(page_height_);
    file_.clear();
    page_count_ = 0;
}

std::vector<std::string> PdfPrinter::Wrapped(std::string_view text, int width, int format) {
    if (!(format & kWordBreak)) return {std::string(text)};
    // As DrawText breaks: at blanks; a word wider than the line runs on past it.
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t word_at = text.find_first_not_of(' ', at);
        if (word_at == std::string_view::npos) break;
        std::size_t end = text.find(' ', word_at);
        if (end == std::string_view::npos) end = text.size();
        std::string joined = line + std::string(text.substr(at, end - at));
        if (line.empty()) joined = std::string(text.substr(word_at, end - word_at));
        if (!line.empty() && TextWidth(joined) > width) {
            lines.push_back(std::move(line));
            joined = std::string(text.substr(word_at, end - word_at));
        }
        line = std::move(joined);
        at = end;
    }
    if (!line.empty() || lines.empty()) lines.push_back(std::move(line));
    return lines;
}

int PdfPrinter::MeasureText(std::string_view text, int width, int format) {
    const int line = Rounded(kAscent, em_) + Rounded(kDescent, em_);
    return line * static_cast<int>(Wrapped(text, width, format).size());
}

void PdfPrinter::PrintText(int left, int top, int right, int bottom, std::string_view text,
                           int format) {
    if (pages_.empty()) return;
    if (flow_.Place(top, bottom, kMargin)) pages_.emplace_back();
    const int line = Rounded(kAscent, em_) + Rounded(kDescent, em_);
    int y = flow_.OnPage(top);
    std::string& page = pages_.back();
    for (const std::string& part : Wrapped(text, right - left, format)) {
        int x = left;
        if (format & kAlignCentre) x += (right - left - TextWidth(part)) / 2;
        const double baseline = page_height_ - y - em_ * kAscent / 1000.0;
        page += "BT /F1 " + Points(em_) + " Tf " + Points(x) + " " + Points(baseline) + " Td " +
                PdfString(part) + " Tj ET\n";
        y += line;
    }
}

void PdfPrinter::EndDocument() {
    if (pages_.empty()) return;
    file_ = File();
    page_count_ = static_cast<int>(pages_.size());
    pages_.clear();
}

// Catalogue, page tree, font, then a page and its content for each page; the cross-reference
// table gives every object's byte offset.
std::string PdfPrinter::File() const {
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    auto object = [&](const std::string& body) {
        offsets.push_back(out.size());
        out += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    const int count = static_cast<int>(pages_.size());
    std::string kids;
    for (int i = 0; i < count; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(count) + " >>");
    std::string widths;
    for (const int w : kHelvetica) widths += std::to_string(w) + " ";
    object(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding "
        "/FirstChar 32 /LastChar 255 /Widths [ " +
        widths + "] >>");
    for (int i = 0; i < count; ++i) {
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Points(page_width_) + " " +
               Points(page_height_) + "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
               std::to_string(5 + 2 * i) + " 0 R >>");
        const std::string& content = pages_[static_cast<std::size_t>(i)];
        object("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
               "endstream");
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t at : offsets) {
        const std::string offset = std::to_string(at);
        out += std::string(10 - offset.size(), '0') + offset + " 00000 n \n";
    }
    out += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

void SavePdf(const std::string& bytes, const std::string& path) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) throw PrintFailure{"the file " + path + " cannot be written"};
}

}  // namespace tlx::billing
