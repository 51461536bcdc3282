// The scenario language: steps as written, payloads kept byte for byte, errors by line.
#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tlx::sim {
namespace {

TEST(Scenario, StepsAndPayloadsAsWritten) {
    const auto parsed = ParseScenario(
        "# morning rush\n"
        "  wait 0.25\n"
        "connect  1 \n"  // the blanks belong to the key: the console must not match it
        "send 103 1;75;1.5\r\n"
        "send 42\n"
        "raw 0d 00 00 00 ff\n");
    ASSERT_TRUE(parsed.scenario) << parsed.error;
    const auto& s = parsed.scenario->steps;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].kind, Step::Kind::kWait);
    EXPECT_DOUBLE_EQ(s[0].seconds, 0.25);
    EXPECT_EQ(std::tie(s[1].type, s[1].text, s[1].line), std::tuple(102, " 1 ", 3));
    EXPECT_EQ(std::tie(s[2].type, s[2].text), std::tuple(103, "1;75;1.5"));
    EXPECT_EQ(std::tie(s[3].type, s[3].text), std::tuple(42, ""));
    EXPECT_EQ(s[4].bytes, (std::vector<std::uint8_t>{0x0d, 0, 0, 0, 0xff}));
}

TEST(Scenario, RefusedLinesNameTheLineAndTheFault) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"dial 1\nwiat 3\n", "line 2: unknown step \"wiat\""},
        {"wait soon\n", "line 1: wait: expected seconds"},
        {"wait -1\n", "line 1: wait"},
        {"send x 1\n", "line 1: send: expected a message type"},
        {"raw 0d0\n", "line 1: raw: expected whole bytes"},
        {"raw zz\n", "line 1: raw: not a hex digit"},
        {"drop now\n", "line 1: drop takes no value"},
        {"\n\ndial " + std::string(255, 'x') + "\n", "line 3: text of 255 characters"},
    };
    for (const auto& [text, expected] : cases) {
        const auto parsed = ParseScenario(text);
        EXPECT_FALSE(parsed.scenario.has_value()) << text;
        EXPECT_EQ(parsed.error.rfind(expected, 0), 0u) << parsed.error;
    }
    EXPECT_TRUE(ParseScenario("dial " + std::string(254, 'x')).scenario.has_value());
}

}  // namespace
}  // namespace tlx::sim
