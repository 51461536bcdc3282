// Options and config files: what is accepted, what is refused and how it is said.
#include "sim/config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "sim/scenario.h"

namespace tlx::sim {
namespace {

TEST(SimConfig, AccountsBoothsAndAddresses) {
    SimConfig c;
    const auto r =
        ParseCommandLine({"--user", "anna", "--password", "a b;c", "--user=bob",
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
}

TEST(SimConfig, RefusedWithAClearReason) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
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
        {{"--web-address", "http://a;b/"}, "';'"}};
    for (const auto& [args, expected] : cases) {
        SimConfig c;
        const auto r = ParseCommandLine(args, c);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_NE(r.error.find(expected), std::string::npos) << r.error;
    }
}

// "http://h/" has 9 characters, "http://127.0.0.1:0/" 19 now and up to 23 once the system has
// picked the port; a booth adds ';' and its key. In short form the longest list would look
// like a full record. An empty error: the list fits.
TEST(SimConfig, BoothListMustFitOneMessage) {
    const std::tuple<std::string, std::size_t, bool, std::string> cases[] = {
        {"--web-address=http://h/", 254 - 9, false, ""},
        {"--web-address=http://h/", 255 - 9, false,
         "needs 255 characters but one message holds 254"},
        {"--web-address=http://h/", 254 - 9, true,
         "needs 254 characters but one message holds 253"},
        {"--web-address=http://h/", 253 - 9, true, ""},
        {"--http=127.0.0.1:0", 255 - 23, false, "needs 255 characters"},
        {"--http=127.0.0.1:0", 254 - 23, false, ""}};
    for (const auto& [address, list_chars, short_form, error] : cases) {
        SimConfig c;
        std::vector<std::string> args = {address, "--booth", std::string(list_chars - 1, 'k')};
        if (short_form) args.push_back("--short-messages");
        const auto r = ParseCommandLine(args, c);
        EXPECT_EQ(r.ok, error.empty()) << address << " " << list_chars << " " << short_form;
        EXPECT_NE(r.error.find(error), std::string::npos) << r.error;
    }
}

TEST(SimConfig, ConfigFileLinesAndErrorsWithLineNumbers) {
    SimConfig c;
    const auto r = ParseConfigText(
        "# shop at the station\naccount anna sec ret\r\n\nbooths 1,2\n"
        "tariff 00 1.20 Far away\nshort-messages\nseed 42\n",
        "shop.conf", c);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(c.accounts.size(), 1u);
    ASSERT_EQ(c.tariffs.size(), 1u);
    EXPECT_EQ(std::tie(c.accounts[0].password, c.short_messages, c.seed, c.tariffs[0].description,
                       c.tariffs[0].price_cents),
              std::make_tuple("sec ret", true, 42u, "Far away", 120));
    // A missing value and an option the file may not carry, each named by its line.
    for (const char* text : {"booths 1\nseed\n", "booths 1\npassword x\n"}) {
        SimConfig bad;
        EXPECT_EQ(ParseConfigText(text, "shop.conf", bad).error.rfind("shop.conf:2: ", 0), 0u);
    }
}

TEST(SimConfig, ShippedExamplesAreValid) {
    SimConfig c;
    const auto r = ParseCommandLine({"--config", SIM_EXAMPLES "/demo.conf"}, c);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(c.mode, TrafficMode::kGenerate);
    std::ifstream in(SIM_EXAMPLES "/first-call.scenario");
    const auto parsed = ParseScenario(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_TRUE(parsed.scenario) << parsed.error;
    EXPECT_GT(parsed.scenario->steps.size(), 10u);
}

TEST(SimConfig, MoneyTexts) {
    for (const std::int64_t cents : {0L, 5L, 99L, 100L, 1205L, -150L, 123456789L})
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
