#include "core/console/booths.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace tlx::console {
namespace {

using Strings = std::vector<std::string>;

TEST(BoothOrder, KeysSortByteByByteAndOnlyRepeatsAreOneBooth) {
    const auto no_alias = [](const std::string&) { return std::string(); };
    const std::pair<Strings, Strings> orders[] = {
        {{"9", "10", "2"}, {"10", "2", "9"}},
        {{"b", "\x80", "B", "a"}, {"B", "a", "b", "\x80"}},         // unsigned bytes
        {{"1", "01", "", "A", " 1"}, {"", " 1", "01", "1", "A"}}};  // exact bytes
    for (const auto& [keys, sorted] : orders) {
        Strings got;
        for (const auto& e : BoothEntries(keys, no_alias)) got.push_back(e.key);
        EXPECT_EQ(got, sorted);
    }

    const std::map<std::string, std::string> aliases{{"2", "Window seat"}, {"3", ""}};
    const auto alias = [&](const std::string& key) {
        auto it = aliases.find(key);
        return it == aliases.end() ? std::string() : it->second;
    };
    EXPECT_EQ(BoothEntries({"2", "3", "2", "1", "3"}, alias),
              (std::vector<BoothEntry>{{"1", "1"}, {"2", "Window seat"}, {"3", "3"}}));
}

TEST(BoothCall, EventTextsReachTheBooth) {
    const auto dial = DecodeBoothCall(EventKind::kDial, "7", "0049301234;Germany fixed;0.12;x");
    EXPECT_EQ(std::tie(dial.key, dial.destination, dial.description, dial.rate),
              std::tuple("7", "0049301234", "Germany fixed", "0.12"));
    const auto done = DecodeBoothCall(EventKind::kFinished, "4;75;1.5", "");
    EXPECT_EQ(std::tie(done.kind, done.key, done.duration, done.cost),
              std::tuple(EventKind::kFinished, "4", 75, 1.5));
    // The booth takes 16 bits: 70000 s arrives as 4464, 40000 s wraps negative.
    for (const auto& [text, seconds] :
         {std::pair{"4;70000;2", 4464}, {"4;40000;2", -25536}, {"4;-3;0", -3}})
        EXPECT_EQ(DecodeBoothCall(EventKind::kFinished, text, "").duration, seconds) << text;
    // Connected and rejected take the whole text as the key.
    EXPECT_EQ(DecodeBoothCall(EventKind::kRejected, "5;x", "").key, "5;x");
    EXPECT_EQ(DecodeBoothCall(EventKind::kConnected, " 5", "").key, " 5");
}

}  // namespace
}  // namespace tlx::console
