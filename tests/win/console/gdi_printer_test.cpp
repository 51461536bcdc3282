// The bill's printer on the harness's file printer: a bill longer than a page goes on over as
// many pages as it needs instead of being cut.
#include "console/bills/gdi_printer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tlx::console {
namespace {

TEST(GdiPrinter, LongBillBreaksIntoPages) {
    const char* unix_path = std::getenv("TLX_PRINTER_FILE");
    ASSERT_TRUE(unix_path) << "run with the harness's printer";
    std::string path = std::string("Z:") + unix_path;
    for (char& c : path) c = c == '/' ? '\\' : c;

    DeleteFileA(path.c_str());  // the job of an earlier run
    tlx::billing::Bill bill;
    bill.calls.resize(150);  // five lines each: several pages
    GdiPrinter printer;
    tlx::billing::LayoutBill(bill, printer);

    // The spooler writes the job after the document has ended.
    std::string job;
    for (int i = 0; i < 300 && job.find("%%EOF") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream in(path, std::ios::binary);
        job.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_NE(job.find("%%EOF"), std::string::npos);
    std::size_t pages = 0;
    for (std::size_t at = job.find("%%Page:"); at != std::string::npos;
         at = job.find("%%Page:", at + 1)) {
        ++pages;
    }
    // About 760 lines of a hundredth of an inch and a tenth: 7 to 9 pages of A4 or Letter.
    EXPECT_GE(pages, 6u);
    EXPECT_LE(pages, 10u);
}

}  // namespace
}  // namespace tlx::console
