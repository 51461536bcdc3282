#include "sim/scenario.h"

#include <charconv>
#include <cmath>

#include "core/link/message.h"

namespace tlx::sim {

namespace {

struct Alias {
    const char* word;
    std::int32_t type;
};
constexpr Alias kAliases[] = {
    {"booths", link::kBoothList},           {"dial", link::kCallDialEvent},
    {"connect", link::kCallConnectedEvent}, {"finish", link::kCallFinishedEvent},
    {"reject", link::kCallRejectedEvent},
};

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// The word and the rest after exactly one separating blank (payloads keep their blanks).
std::pair<std::string_view, std::string_view> SplitWord(std::string_view s) {
    const auto sp = s.find_first_of(" \t");
    if (sp == std::string_view::npos) return {s, {}};
    return {s.substr(0, sp), s.substr(sp + 1)};
}

std::optional<double> ParseSeconds(std::string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(v >= 0) ||
        v > 86400 * 7)
        return std::nullopt;
    return v;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Step> Refuse(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

}  // namespace

std::optional<Step> ParseStep(std::string_view line, std::string* error) {
    if (error) error->clear();
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    line = TrimLeft(line);
    if (line.empty() || line.front() == '#') return std::nullopt;
    const auto [word, rest] = SplitWord(line);
    Step step;
    if (word == "send") {
        const auto [type_text, payload] = SplitWord(TrimLeft(rest));
        auto [end, ec] =
            std::from_chars(type_text.data(), type_text.data() + type_text.size(), step.type);
        if (type_text.empty() || ec != std::errc() || end != type_text.data() + type_text.size())
            return Refuse(error, "send: expected a message type number, then the text");
        step.text = std::string(payload);
    } else if (word == "raw") {
        std::string_view hex = rest;
        int high = -1;
        for (const char c : hex) {
            if (c == ' ' || c == '\t') continue;
            const int d = HexDigit(c);
            if (d < 0) return Refuse(error, "raw: not a hex digit: '" + std::string(1, c) + "'");
            if (high < 0) {
                high = d;
            } else {
                step.bytes.push_back(static_cast<std::uint8_t>(high * 16 + d));
                high = -1;
            }
        }
        if (high >= 0 || step.bytes.empty())
            return Refuse(error, "raw: expected whole bytes in hex");
        step.kind = Step::Kind::kRaw;
    } else if (word == "wait" || word == "expect-keepalive") {
        const auto secs = ParseSeconds(rest);
        if (!secs) return Refuse(error, std::string(word) + ": expected seconds, like 1.5");
        step.kind = word == "wait" ? Step::Kind::kWait : Step::Kind::kExpectKeepAlive;
        step.seconds = *secs;
    } else if (word == "drop" || word == "quit") {
        if (!TrimLeft(rest).empty()) return Refuse(error, std::string(word) + " takes no value");
        step.kind = word == "drop" ? Step::Kind::kDrop : Step::Kind::kQuit;
    } else {
        bool found = false;
        for (const auto& alias : kAliases) {
            if (word == alias.word) {
                step.type = alias.type;
                step.text = std::string(rest);
                found = true;
            }
        }
        if (!found) return Refuse(error, "unknown step \"" + std::string(word) + "\"");
    }
    if (step.kind == Step::Kind::kSend && step.text.size() > link::kMaxText)
        return Refuse(error, "text of " + std::to_string(step.text.size()) +
                                 " characters; one message holds " +
                                 std::to_string(link::kMaxText));
    if (step.kind == Step::Kind::kSend && step.text.find('\0') != std::string::npos)
        return Refuse(error, "text holds a NUL byte; use raw");
    return step;
}

ScenarioParse ParseScenario(std::string_view text) {
    ScenarioParse result;
    Scenario scenario;
    int line_no = 0;
    while (!text.empty()) {
        ++line_no;
        const auto nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        std::string error;
        auto step = ParseStep(line, &error);
        if (!error.empty()) {
            result.error = "line " + std::to_string(line_no) + ": " + error;
            return result;
        }
        if (step) {
            step->line = line_no;
            scenario.steps.push_back(std::move(*step));
        }
    }
    result.scenario = std::move(scenario);
    return result;
}

}  // namespace tlx::sim
