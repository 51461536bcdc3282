// Scripted traffic: a list of timed steps read from a small text file, also the language of
// the live control channel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::sim {

struct Step {
    enum class Kind { kSend, kRaw, kWait, kDrop, kExpectKeepAlive, kQuit };
    Kind kind = Kind::kSend;
    int line = 0;
    std::int32_t type = 0;            // kSend
    std::string text;                 // kSend payload, exactly as written
    std::vector<std::uint8_t> bytes;  // kRaw
    double seconds = 0;               // kWait, kExpectKeepAlive
};

// One step from one line; std::nullopt with `error` set when the line is not a step.
// Blank and '#' lines give std::nullopt with an empty error.
std::optional<Step> ParseStep(std::string_view line, std::string* error);

struct Scenario {
    std::vector<Step> steps;
};
struct ScenarioParse {
    std::optional<Scenario> scenario;
    std::string error;  // "line N: ..." when the file is refused
};
ScenarioParse ParseScenario(std::string_view text);

}  // namespace tlx::sim
