#include "console/booths.h"

#include <gtest/gtest.h>

#include <map>

namespace tlx::console {
namespace {

std::vector<std::string> KeysOf(const std::vector<BoothEntry>& entries) {
    std::vector<std::string> keys;
    for (const auto& e : entries) keys.push_back(e.key);
    return keys;
}

TEST(BoothOrder, KeysSortByteByByte) {
    const auto no_alias = [](const std::string&) { return std::string(); };
    EXPECT_EQ(KeysOf(BoothEntries({"3", "1", "2"}, no_alias)),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(KeysOf(BoothEntries({"9", "10"}, no_alias)), (std::vector<std::string>{"10", "9"}));
    // Upper case before lower case, and a byte above 0x7F after both (unsigned bytes).
    EXPECT_EQ(KeysOf(BoothEntries({"b", "\x80", "B", "a"}, no_alias)),
              (std::vector<std::string>{"B", "a", "b", "\x80"}));
    EXPECT_EQ(KeysOf(BoothEntries({"1", "01", "", "A"}, no_alias)),
              (std::vector<std::string>{"", "01", "1", "A"}));
}

TEST(BoothOrder, LookupIsExactAndCaseSensitive) {
    std::map<std::string, int, BoothKeyLess> booths{{"1", 1}, {"01", 2}, {"Cab", 3}};
    EXPECT_EQ(booths.at("1"), 1);
    EXPECT_EQ(booths.at("01"), 2);
    EXPECT_EQ(booths.find("cab"), booths.end());
    EXPECT_EQ(booths.find(" 1"), booths.end());
    EXPECT_EQ(booths.find(std::string_view("Cab")), booths.find("Cab"));
}

TEST(BoothEntries, RepeatedKeyIsOneBoothWithItsAlias) {
    const std::map<std::string, std::string> aliases{{"2", "Window seat"}, {"3", ""}};
    const auto alias = [&](const std::string& key) {
        auto it = aliases.find(key);
        return it == aliases.end() ? std::string() : it->second;
    };
    const auto entries = BoothEntries({"2", "3", "2", "1", "3"}, alias);
    EXPECT_EQ(entries, (std::vector<BoothEntry>{{"1", "1"}, {"2", "Window seat"}, {"3", "3"}}));
    EXPECT_TRUE(BoothEntries({}, alias).empty());
}

TEST(BoothCall, DialCarriesTheThreeFieldsOfTheRest) {
    auto call = DecodeBoothCall(EventKind::kDial, "7", "0049301234;Germany fixed;0.12;extra");
    EXPECT_EQ(call.key, "7");
    EXPECT_EQ(call.destination, "0049301234");
    EXPECT_EQ(call.description, "Germany fixed");
    EXPECT_EQ(call.rate, "0.12");
    call = DecodeBoothCall(EventKind::kDial, "7", "0049301234");
    EXPECT_EQ(call.destination, "0049301234");
    EXPECT_EQ(call.description, "");
    EXPECT_EQ(call.rate, "");
}

TEST(BoothCall, FinishedReadsDurationAndCost) {
    auto call = DecodeBoothCall(EventKind::kFinished, "4;75;1.5", "");
    EXPECT_EQ(call.key, "4");
    EXPECT_EQ(call.duration, 75);
    EXPECT_DOUBLE_EQ(call.cost, 1.5);
    call = DecodeBoothCall(EventKind::kFinished, "4;75", "");
    EXPECT_EQ(call.duration, 75);
    EXPECT_DOUBLE_EQ(call.cost, 0.0);
    // The booth takes 16 bits: 70000 s arrives as 4464, 40000 s wraps negative.
    EXPECT_EQ(DecodeBoothCall(EventKind::kFinished, "4;70000;2", "").duration, 4464);
    EXPECT_EQ(DecodeBoothCall(EventKind::kFinished, "4;40000;2", "").duration, -25536);
    EXPECT_EQ(DecodeBoothCall(EventKind::kFinished, "4;-3;0", "").duration, -3);
}

TEST(BoothCall, ConnectedAndRejectedUseTheWholeTextAsKey) {
    EXPECT_EQ(DecodeBoothCall(EventKind::kConnected, " 5", "").key, " 5");
    EXPECT_EQ(DecodeBoothCall(EventKind::kRejected, "5;x", "").key, "5;x");
    EXPECT_EQ(DecodeBoothCall(EventKind::kRejected, "5", "").kind, EventKind::kRejected);
}

}  // namespace
}  // namespace tlx::console
