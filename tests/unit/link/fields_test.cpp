#include "core/link/fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/link/events.h"

namespace tlx::link {
namespace {

using Strings = std::vector<std::string>;

// The booth list runs every rule of the field grammar: empty fields, a trailing ';', no quoting.
TEST(Fields, BoothListSplitsAtEverySemicolon) {
    const struct {
        std::string text, web;
        Strings keys;
    } lists[] = {
        {"http://10.0.0.5/shop/;A;B", "http://10.0.0.5/shop/", {"A", "B"}},
        {"web address;A;", "web address", {"A"}},  // the trailing ';' ends the text
        {"web address;;A;", "web address", {"", "A"}},
        {" web ; Booth 1 ;\tB2\r\n;B2", " web ", {"Booth 1", "B2", "B2"}},  // only keys trimmed
        {"\"a;b\";c", "\"a", {"b\"", "c"}},
        {"web address", "web address", {}},
        {"", "", {}},
    };
    for (const auto& l : lists) {
        const auto parsed = ParseBoothList(l.text);
        EXPECT_EQ(parsed.web_address, l.web) << l.text;
        EXPECT_EQ(parsed.keys, l.keys) << l.text;
    }
}

TEST(Fields, CallEventsWithMissingOrExtraFields) {
    const auto dial = ParseCallDial("B1;0049301234;Berlin mobile;0.10;extra");
    EXPECT_EQ(Strings({dial.key, dial.destination, dial.description, dial.rate}),
              Strings({"B1", "0049301234", "Berlin mobile", "0.10"}));
    const auto part = ParseCallDial("B1;0049");
    EXPECT_EQ(Strings({part.destination, part.description, part.rate}), Strings({"0049", "", ""}));
    EXPECT_EQ(ParseDialRest(";;1.2").rate, "1.2");

    EXPECT_EQ(ParseCallFinished("B1;75").cost, 0.0);
    const auto odd = ParseCallFinished(" B1 ;  12s;2.25 EUR;9");
    EXPECT_EQ(odd.key, " B1 ");
    EXPECT_EQ(odd.duration, 12);
    EXPECT_EQ(odd.cost, 2.25);
}

}  // namespace
}  // namespace tlx::link
