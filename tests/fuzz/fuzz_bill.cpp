// Feeds arbitrary booth print texts (the first line is the tax setting) to the bill's
// composition and layout, and checks what must hold whatever a booth sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/billing/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tlx::billing;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto line = input.find('\n');
    const std::string_view tax = line == std::string_view::npos ? "" : input.substr(0, line);
    const std::string_view text = line == std::string_view::npos ? input : input.substr(line + 1);
    const NewBillPlan plan = ComposeBill(text, "op", LocalTime{}, TaxRateOf(tax));
    // One entry per '|' of the calls, never more, whatever the pieces.
    std::size_t bars = 0;
    for (char c : text.substr(plan.bill.cabin.size())) bars += c == '|';
    if (plan.bill.calls.size() > bars) std::abort();
    RecordingPrinter printer;
    LayoutBill(plan.bill, printer);
    if (printer.texts.size() < 8 + 5 * plan.bill.calls.size()) std::abort();
    return 0;
}
