// Options and config files: what is accepted, what is refused and how it is said.
#include "config.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scenario.h"

namespace tlx::sim {
namespace {

ParseOutcome Parse(std::vector<std::string> args, SimConfig& config) {
    return ParseCommandLine(args, config);
}

TEST(SimConfig, DefaultsGiveADemoShop) {
    SimConfig c;
    ASSERT_TRUE(Parse({}, c).ok);
    EXPECT_EQ(c.listen.ToString(), "127.0.0.1:1804");
    ASSERT_EQ(c.accounts.size(), 1u);
    EXPECT_EQ(c.accounts[0].user, "demo");
    EXPECT_EQ(BoothListText(c), "http://127.0.0.1:1805/;1;2;3;4;5;6");
}

TEST(SimConfig, AccountsBoothsAndAddresses) {
    SimConfig c;
    const auto r = Parse({"--user", "anna", "--password", "a b;c", "--user=bob",
                          "--password=", "--booths", "A, B ,C", "--booth", "7", "--web-address",
                          "http://shop.example/app", "--listen", "localhost:0"},
                         c);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(c.accounts.size(), 2u);
    EXPECT_EQ(c.accounts[0].password, "a b;c");
    EXPECT_EQ(c.accounts[1].password, "");
    EXPECT_EQ(c.listen.ToString(), "127.0.0.1:0");
    // The web address gets the slash the console's query needs.
    EXPECT_EQ(BoothListText(c), "http://shop.example/app/;A;B;C;7");

    SimConfig counted;
    ASSERT_TRUE(Parse({"--booths", "3"}, counted).ok);
    EXPECT_EQ(counted.booths, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(SimConfig, RefusedWithAClearReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--user", "x"}, "has no --password"},
        {{"--password", "x"}, "must follow a --user"},
        {{"--booths", "1,,2"}, "empty"},
        {{"--booths", "a;b"}, "';'"},
        {{"--booths", "1,1"}, "given twice"},
        {{"--listen", "1804"}, "ADDRESS:PORT"},
        {{"--listen", "999.1.1.1:5"}, "ADDRESS:PORT"},
        {{"--rate", "0"}, "--rate"},
        {{"--speed", "-2"}, "--speed"},
        {{"--flood", "-3"}, "--flood"},
        {{"--flood-booths", "9"}, "exceeds"},
        {{"--tariff", "0x 1.00 Local"}, "not digits"},
        {{"--tariff", "0 1.005 Local"}, "price"},
        {{"--tariff", "0 0.10 Local", "--tariff", "0 0.20 City"}, "prefix \"0\" is given twice"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--log"}, "needs a value"},
        {{"--web-address", "http://a;b/"}, "';'"},
    };
    for (const auto& [args, expected] : cases) {
        SimConfig c;
        const auto r = Parse(args, c);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_NE(r.error.find(expected), std::string::npos) << r.error;
    }
}

TEST(SimConfig, BoothListMustFitOneMessage) {
    // "http://h/" is 9 characters; each key adds ';' and its text.
    auto with_keys = [](std::size_t total_key_chars, bool short_form) {
        SimConfig c;
        std::vector<std::string> args = {"--web-address", "http://h/"};
        std::string key(total_key_chars - 1, 'k');  // one key: ';' + key
        args.insert(args.end(), {"--booth", key});
        if (short_form) args.push_back("--short-messages");
        return Parse(args, c);
    };
    EXPECT_TRUE(with_keys(254 - 9, false).ok);
    const auto too_long = with_keys(255 - 9, false);
    EXPECT_FALSE(too_long.ok);
    EXPECT_NE(too_long.error.find("needs 255 characters"), std::string::npos) << too_long.error;
    // In short form the longest list would look like a full record.
    EXPECT_FALSE(with_keys(254 - 9, true).ok);
    EXPECT_TRUE(with_keys(253 - 9, true).ok);

    // A port the system picks may need five digits.
    // "http://127.0.0.1:0/" is 19 characters now, up to 23 once bound.
    std::vector<std::string> args = {"--http", "127.0.0.1:0", "--booth",
                                     std::string(254 - 19 - 1 - 3, 'k')};
    SimConfig d;
    EXPECT_FALSE(Parse(args, d).ok);
    SimConfig e;
    args[3] = std::string(254 - 19 - 1 - 4, 'k');
    EXPECT_TRUE(Parse(args, e).ok);
}

TEST(SimConfig, ConfigFileLinesAndErrorsWithLineNumbers) {
    SimConfig c;
    const auto r = ParseConfigText(
        "# shop at the station\n"
        "account anna sec ret\r\n"
        "\n"
        "booths 1,2\n"
        "tariff 00 1.20 Far away\n"
        "short-messages\n"
        "seed 42\n",
        "shop.conf", c);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(c.accounts.size(), 1u);
    EXPECT_EQ(c.accounts[0].password, "sec ret");
    EXPECT_TRUE(c.short_messages);
    EXPECT_EQ(c.seed, 42u);
    ASSERT_EQ(c.tariffs.size(), 1u);
    EXPECT_EQ(c.tariffs[0].description, "Far away");
    EXPECT_EQ(c.tariffs[0].price_cents, 120);

    SimConfig bad;
    const auto e = ParseConfigText("booths 1\nseed\n", "shop.conf", bad);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.error.rfind("shop.conf:2: ", 0), 0u) << e.error;
    SimConfig cli_only;
    EXPECT_FALSE(ParseConfigText("password x\n", "f", cli_only).ok);
}

TEST(SimConfig, ShippedExamplesAreValid) {
    SimConfig c;
    const auto r = ParseCommandLine({"--config", SIM_EXAMPLES "/demo.conf"}, c);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(c.accounts.size(), 2u);
    EXPECT_EQ(c.mode, TrafficMode::kGenerate);
    std::ifstream in(SIM_EXAMPLES "/first-call.scenario");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto parsed = ParseScenario(text);
    ASSERT_TRUE(parsed.scenario) << parsed.error;
    EXPECT_GT(parsed.scenario->steps.size(), 10u);
}

TEST(SimConfig, MoneyTextsRoundTrip) {
    for (const std::int64_t cents : {0L, 5L, 10L, 99L, 100L, 1205L, -150L, 123456789L})
        EXPECT_EQ(ParseCents(FormatCents(cents)), cents) << FormatCents(cents);
    EXPECT_EQ(FormatCents(5), "0.05");
    EXPECT_EQ(FormatCents(-150), "-1.50");
    EXPECT_EQ(ParseCents("1.2"), 120);
    EXPECT_EQ(ParseCents("3"), 300);
    for (const char* bad : {"", ".5", "1.", "1.234", "1,20", "+1.00", "--1", "1e3", "abc"})
        EXPECT_FALSE(ParseCents(bad).has_value()) << bad;
}

}  // namespace
}  // namespace tlx::sim
