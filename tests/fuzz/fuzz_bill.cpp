// Feeds arbitrary booth print texts (the first line is the tax setting) to the bill's
// composition and layout. The property: a print text as the booth's own writer puts a bill's
// calls reads back as the same bill, so billing and the booth agree on every field.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/billing/layout.h"
#include "core/booth/print_text.h"
#include "core/text/numbers.h"
#include "tests/unit/billing/recording_printer.h"

namespace {

using namespace tlx::billing;

// The bill's calls as a booth writes them. The start time is not kept by a bill; a duration
// that is not a whole number of seconds is written as 0; the rate with two decimals.
std::string Written(const Bill& bill) {
    std::string text = tlx::booth::PrintTextHead(bill.cabin);
    for (const BillCall& call : bill.calls) {
        std::uint32_t seconds = 0;
        const char* end = call.duration.data() + call.duration.size();
        if (std::from_chars(call.duration.data(), end, seconds).ptr != end) seconds = 0;
        const std::string rate = tlx::text::FormatFixed(call.rate, 2);
        tlx::booth::AppendCallLine(
            text, {call.destination, "00:00:00", call.end_time, seconds, call.cost, rate});
    }
    return text;
}

bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool SameBill(const Bill& a, const Bill& b) {
    if (a.cabin != b.cabin || a.calls.size() != b.calls.size() ||
        !Same(a.total_cost, b.total_cost) || !Same(a.total_tax, b.total_tax) ||
        !Same(a.total_cost_with_tax, b.total_cost_with_tax)) {
        return false;
    }
    for (std::size_t i = 0; i < a.calls.size(); ++i) {
        const BillCall &x = a.calls[i], &y = b.calls[i];
        if (x.destination != y.destination || x.end_time != y.end_time ||
            x.duration != y.duration || !Same(x.cost, y.cost) || !Same(x.rate, y.rate) ||
            !Same(x.tax, y.tax) || !Same(x.cost_with_tax, y.cost_with_tax)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto line = input.find('\n');
    const std::string_view tax = line == std::string_view::npos ? "" : input.substr(0, line);
    const std::string_view text = line == std::string_view::npos ? input : input.substr(line + 1);
    const double rate = TaxRateOf(tax);
    const NewBillPlan plan = ComposeBill(text, "op", LocalTime{}, rate);
    RecordingPrinter printer;
    LayoutBill(plan.bill, printer);

    // Whatever came in, the booth's writing of that bill is a text billing reads back whole.
    const std::string written = Written(plan.bill);
    const Bill read = ComposeBill(written, "op", LocalTime{}, rate).bill;
    if (!SameBill(read, ComposeBill(Written(read), "op", LocalTime{}, rate).bill)) std::abort();
    return 0;
}
