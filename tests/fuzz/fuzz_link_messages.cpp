// Feeds arbitrary bytes from the server side to every reader of server messages, and checks
// what must hold whatever arrives.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/link/events.h"
#include "core/link/fields.h"
#include "core/link/framer.h"
#include "core/link/login.h"
#include "core/link/message.h"
#include "core/text/numbers.h"

namespace {

using namespace tlx::link;
using namespace tlx::text;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void Decode(std::span<const std::uint8_t> bytes) {
    const auto m = DecodeMessage(bytes);
    Check(m.has_value() == (bytes.size() >= kShortSize));
    if (!m) return;
    Check(m->data_length <= kDataSize);
    const std::string text = m->Text();
    Check(text.size() <= kMaxText && text.find('\0') == std::string::npos);
    const auto again = DecodeMessage(m->Encode());
    Check(again && again->type == m->type && again->data == m->data);
    (void)ReadLoginRequestUser(*m);
}

// Splits the input into reads of sizes taken from the input itself.
void Frame(std::span<const std::uint8_t> bytes, MessageFramer::Mode mode) {
    MessageFramer framer(mode);
    std::size_t taken = 0;
    std::size_t messages = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - pos, 1 + bytes[pos] % 300);
        framer.Feed(bytes.subspan(pos, chunk));
        pos += chunk;
        while (auto m = framer.Next()) {
            taken += kShortSize + m->data_length;
            ++messages;
            Check(m->Text().size() <= kMaxText);
        }
    }
    Check(taken + framer.buffered() == bytes.size());
    if (mode == MessageFramer::Mode::kFullRecords) Check(messages == bytes.size() / kRecordSize);
}

void Parse(const std::string& text) {
    std::string rest = text;
    std::string joined;
    bool first = true;
    do {
        const std::string field = NextField(rest);
        Check(field.find(';') == std::string::npos);
        joined += (first ? "" : ";") + field;
        first = false;
    } while (!rest.empty());
    // Joining the fields again gives the text back, but for a trailing ';'.
    Check(joined == text || joined + ";" == text);

    const auto list = ParseBoothList(text);
    for (const auto& key : list.keys) Check(TrimBlanks(key) == key);
    (void)ParseCallDial(text);
    (void)ParseDialRest(text);
    (void)ParseCallFinished(text);
    (void)AtoiC(text);
    (void)AtofC(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    Decode(bytes);
    Frame(bytes, MessageFramer::Mode::kFullRecords);
    Frame(bytes, MessageFramer::Mode::kShortMessages);
    Parse(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
