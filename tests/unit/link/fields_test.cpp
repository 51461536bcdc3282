#include "link/fields.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "link/events.h"

namespace tlx::link {
namespace {

using Strings = std::vector<std::string>;

TEST(Fields, NextFieldAndBoothList) {
    const struct {
        std::string text;
        Strings fields;
    } splits[] = {{"a;;b c; ", {"a", "", "b c", " "}},
                  {"x;", {"x"}},
                  {"", {""}},
                  {"\"q;r\"", {"\"q", "r\""}}};
    for (const auto& s : splits) {
        std::string text = s.text;
        Strings got;
        do got.push_back(NextField(text));
        while (!text.empty());
        EXPECT_EQ(got, s.fields) << s.text;
        EXPECT_EQ(NextField(text), "");  // empty stays empty
    }

    const struct {
        std::string text, web;
        Strings keys;
    } lists[] = {
        {"http://10.0.0.5/shop/;A;B", "http://10.0.0.5/shop/", {"A", "B"}},
        {"web address;A;", "web address", {"A"}},  // the trailing ';' ends the text
        {"web address;;A", "web address", {"", "A"}},
        {" web ; Booth 1 ;\tB2\r\n;B2", " web ", {"Booth 1", "B2", "B2"}},  // only keys trimmed
        {"web address", "web address", {}},
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

    const auto done = ParseCallFinished("B1;75;1.5");
    EXPECT_EQ(done.key, "B1");
    EXPECT_EQ(done.duration, 75);
    EXPECT_EQ(done.cost, 1.5);
    EXPECT_EQ(ParseCallFinished("B1;75").cost, 0.0);
    const auto odd = ParseCallFinished(" B1 ;  12s;2.25 EUR;9");
    EXPECT_EQ(odd.key, " B1 ");
    EXPECT_EQ(odd.duration, 12);
    EXPECT_EQ(odd.cost, 2.25);
}

TEST(Fields, NumbersReadLikeTheCLibrary) {
    const std::pair<std::string_view, std::int32_t> ints[] = {
        {" \t\n-42xyz", -42},
        {"+7", 7},
        {"- 7", 0},
        {"1.9", 1},
        {"", 0},
        {"-2147483648", INT32_MIN},
        {"4294967297", 1} /* wraps to 32 bits */,
        {std::string_view("12\0"
                          "3",
                          4),
         12}};
    for (const auto& [text, value] : ints) EXPECT_EQ(AtoiC(text), value) << text;

    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, double> reals[] = {
        {"  -0.25;", -0.25},
        {"+.5e1x", 5.0},
        {"3.", 3.0},
        {"1e+", 1.0},
        {"2E-2", 0.02},
        {"1,5", 1.0},
        {".", 0.0},
        {"0x1.8p1", 3.0},
        {"-0X10", -16.0},
        {"0x.8", 0.5},
        {"0xg", 0.0},
        {"0x1p", 1.0},
        {"-Infinity", -inf},
        {"in", 0.0},
        {"-1e400", -HUGE_VAL},
        {"0x1p99999", HUGE_VAL},
        {"100000000000000000000000e-420", 0.0},
        {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()}};
    for (const auto& [text, value] : reals) EXPECT_EQ(AtofC(text), value) << text;
    EXPECT_TRUE(std::signbit(AtofC("-0")));
    EXPECT_TRUE(std::isnan(AtofC("nan(123)")));

#ifndef _WIN32
    // The host's strtod in the C locale is the reference for harder readings.
    for (const char* s :
         {"0x1.fffffffffffffp1023", "0x1p-1080", "1.8e308", "2.2250738585072011e-308",
          "123456789012345678901234567890", "0.1000000000000000055511151231257827",
          "9007199254740993", "infinit", "-nan", "nan(", "1.2.3", "-0x", "0x.p1", "0e99999999999",
          "0.0000000000000000000000000000001e330", "\v\f\r5", "1e-320",
          "2.4703282292062327e-324"}) {
        const double expected = std::strtod(s, nullptr);
        const double got = AtofC(s);
        EXPECT_TRUE(std::isnan(expected)
                        ? std::isnan(got)
                        : got == expected && std::signbit(got) == std::signbit(expected))
            << s;
    }
#endif
}

// A process locale with a decimal comma must not change how costs are read.
TEST(Fields, CostsIgnoreACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "German", "French"}) {
        if (std::setlocale(LC_ALL, name) &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(std::atof("1,5"), 1.5) << found << " should read a comma";
    EXPECT_EQ(AtofC("1.5"), 1.5);
    EXPECT_EQ(ParseCallFinished("B1;75;0.35").cost, 0.35);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace tlx::link
