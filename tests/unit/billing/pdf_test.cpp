// Bills on receipt rolls and in PDF files: every line inside the roll, measured with the PDF's
// Helvetica; the PDF read back by poppler's pdftotext gives the printed lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/billing/layout.h"
#include "core/billing/pdf_printer.h"
#include "tests/unit/billing/recording_printer.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

// A PDF printer that also keeps what it was asked to print, with the width each line had.
struct MeasuredPdf : PdfPrinter {
    using PdfPrinter::PdfPrinter;
    void PrintText(int left, int top, int right, int bottom, std::string_view text,
                   int format) override {
        texts.emplace_back(text);
        overflow = std::max(overflow, TextWidth(text) - (right - left));
        outside = outside || left < 0 || right > PageWidth();
        PdfPrinter::PrintText(left, top, right, bottom, text, format);
    }
    std::vector<std::string> texts;
    int overflow = -1000;
    bool outside = false;
};

int RollUnits(int mm) {
    return mm * 1000 / 254;
}

// Labels as a shop writes them; a destination too long for any roll; accents and the euro.
Bill ShopBill(int calls) {
    Bill b;
    const char* labels[kLabelCount] = {
        "Bill no.",
        "Operator: ",
        "Booth",
        "Number dialled: ",
        "Rate per minute:",
        "Tax:",
        "Cost:",
        "Cost incl. tax:",
        "Total cost:",
        "Total tax:",
        "Total incl. tax (EUR):",
        "Merci, à bientôt! Thank you for calling, see you again soon",
        "Duration: "};
    for (std::size_t i = 0; i < kLabelCount; ++i) b.labels[i] = WinAnsiFromUtf8(labels[i]);
    b.financial_id = WinAnsiFromUtf8("N° TVA FR 12 345 678 901");
    b.operator_name = WinAnsiFromUtf8("Zoë Müller");
    b.cabin = WinAnsiFromUtf8("Booth €1");
    b.id = 42;
    b.issued = LocalTime{2026, 12, 7, 9, 30, 5};
    b.calls.assign(calls, BillCall{"00441234567890123456789012345678", "10:00:00", "125", 1234.56,
                                   1481.47, 1.2, 246.91});
    b.total_cost = 1234.56 * calls;
    b.total_tax = 246.91 * calls;
    b.total_cost_with_tax = 1481.47 * calls;
    return b;
}

TEST(RollLayout, EveryLineInsideTheRollAndEveryAmountPrinted) {
    const Bill bill = ShopBill(3);
    MeasuredPdf a4;
    LayoutBill(bill, a4);
    for (const int mm : {48, 72}) {
        SCOPED_TRACE(mm);
        MeasuredPdf roll(RollUnits(mm));
        LayoutBill(bill, roll);
        EXPECT_LE(roll.overflow, 0);
        EXPECT_FALSE(roll.outside);
        EXPECT_GT(roll.texts.size(), a4.texts.size());
        std::string printed;
        for (const auto& t : roll.texts) printed += t + "\n";
        for (const char* amount : {"1234.56", "1481.47", "1.20", "246.91", "3703.68", "740.73",
                                   "4444.41", "42", "0044123"}) {
            EXPECT_NE(printed.find(amount), std::string::npos) << amount << " in\n" << printed;
        }
        EXPECT_NE(printed.find("\n-----"), std::string::npos);  // the rule, cut
    }
    // From 80 mm on, the page's layout exactly.
    MeasuredPdf wide(RollUnits(80) + 1);
    LayoutBill(bill, wide);
    EXPECT_EQ(wide.texts, a4.texts);
    EXPECT_TRUE(IsRollWidth(RollUnits(80))) << "79.99 mm";
}

TEST(RollLayout, LinesBreakAtBlanksKeepTheirGapsAndCutLongWords) {
    RecordingPrinter ten;  // every character 10 wide
    using Lines = std::vector<std::string>;
    EXPECT_EQ(RollLines("Total     9.99", 140, ten), Lines{"Total     9.99"});
    EXPECT_EQ(RollLines("Total     9.99", 100, ten), (Lines{"Total", "9.99"}));
    EXPECT_EQ(RollLines("Tel: 0123456789", 40, ten), (Lines{"Tel:", "0123", "4567", "89"}));
    EXPECT_EQ(RollLines("", 40, ten), Lines{""});
}

#ifndef _WIN32
// The PDF as a reader sees it: pdftotext's lines (as laid out: it would join a hyphen line
// with the next as a broken word), blank runs as one, no empty lines
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(std::regex_replace(text, std::regex("[ \f]+"), " "));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty() && line.front() == ' ') line.erase(0, 1);
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::vector<std::string> Utf8Lines(const std::vector<std::string>& ansi) {
    std::string joined;
    for (const auto& line : ansi) {
        for (const char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte == 0x80)
                joined += "\u20AC";
            else if (byte >= 0xA0)
                joined +=
                    {static_cast<char>(0xC0 | byte >> 6), static_cast<char>(0x80 | (byte & 0x3F))};
            else
                joined += c;
        }
        joined += '\n';
    }
    return Lines(joined);
}

std::string PdfText(const std::string& path) {
    std::string out;
    if (FILE* p = popen(("pdftotext -layout -enc UTF-8 '" + path + "' - 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

std::string ReadBack(const std::string& pdf) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("tlx-bill-" + std::to_string(getpid()) + ".pdf"))
            .string();
    SavePdf(pdf, path);
    const std::string text = PdfText(path);
    std::filesystem::remove(path);
    return text;
}

TEST(PdfBill, ReadBackGivesThePrintedLinesOnEveryPage) {
    Bill bill = ShopBill(1);
    RecordingPrinter recorded;
    LayoutBill(bill, recorded);
    PdfPrinter a4;
    LayoutBill(bill, a4);
    EXPECT_EQ(a4.pages(), 1);
    EXPECT_EQ(Lines(ReadBack(a4.bytes())), Utf8Lines(recorded.texts));

    // A long bill on a 58 mm roll: several pages, every line on one of them, in order.
    bill = ShopBill(12);
    MeasuredPdf roll(RollUnits(48));
    LayoutBill(bill, roll);
    EXPECT_GT(roll.pages(), 1);
    EXPECT_EQ(Lines(ReadBack(roll.bytes())), Utf8Lines(roll.texts));
}

#ifdef TLX_BILLSDB
// The tool lays a stored bill out with the settings file's texts (code page 1252 there, UTF-8
// in the store), on A4 or a roll; an unknown bill or a missing settings file is an error.
TEST_F(TempStore, ToolWritesAStoredBillAsPdf) {
    Sql("", true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    Bill bill = Sample(2);
    store.StoreBill(bill, reporter_);
    const std::string ini = path_ + ".ini", pdf = path_ + ".pdf";
    std::ofstream(ini) << "[PRINT]\nCOMPANY_NAME = Caf\xE9 Zo\xEB\nlbl_id_bill=Facture n\xB0\n";
    auto run = [&](const std::string& args) {
        return std::system(
            (std::string(TLX_BILLSDB) + " pdf '" + path_ + "' " + args + " >/dev/null 2>&1")
                .c_str());
    };
    EXPECT_EQ(run("1 '" + pdf + "' --settings '" + ini + "'"), 0);
    const std::vector<std::string> lines = Lines(PdfText(pdf));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Café Zoë");
    EXPECT_EQ(lines[1], "Facture n° 1");
    EXPECT_EQ(lines[3], "Zoë");
    EXPECT_EQ(lines[4], "Booth €1");  // no label for the booth in this file
    EXPECT_EQ(run("1 '" + pdf + "' --width 48"), 0);
    EXPECT_NE(run("2 '" + pdf + "'"), 0);
    EXPECT_NE(run("1 '" + pdf + "' --settings '" + ini + ".missing'"), 0);
    std::filesystem::remove(path_);
    EXPECT_NE(run("1 '" + pdf + "'"), 0);  // no store
}
#endif
#endif

TEST(PdfBill, AFileThatCannotBeWrittenIsAFailureNamingIt) {
    try {
        SavePdf("%PDF", "/no/such/folder/bill.pdf");
        FAIL() << "written";
    } catch (const PrintFailure& failure) {
        EXPECT_NE(failure.what.find("/no/such/folder/bill.pdf"), std::string::npos);
    }
}

}  // namespace
}  // namespace tlx::billing
