#include "link/fields.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <string>
#include <vector>

#include "link/events.h"

namespace tlx::link {
namespace {

std::vector<std::string> AllFields(std::string text) {
    std::vector<std::string> out;
    do {
        out.push_back(NextField(text));
    } while (!text.empty());
    return out;
}

TEST(NextField, TakesTheFieldAndItsSeparatorOffTheFront) {
    std::string text = "a;;b c; ";
    EXPECT_EQ(NextField(text), "a");
    EXPECT_EQ(text, ";b c; ");
    EXPECT_EQ(NextField(text), "");  // two adjacent ';' give an empty field
    EXPECT_EQ(NextField(text), "b c");
    EXPECT_EQ(NextField(text), " ");  // fields are not trimmed
    EXPECT_EQ(text, "");
    EXPECT_EQ(NextField(text), "");  // empty stays empty
    EXPECT_EQ(text, "");

    std::string trailing = "x;";
    EXPECT_EQ(NextField(trailing), "x");
    EXPECT_EQ(trailing, "");
    EXPECT_EQ(AllFields(";"), std::vector<std::string>{""});
    EXPECT_EQ(AllFields("\"q;r\""), (std::vector<std::string>{"\"q", "r\""}));  // no unquoting
}

TEST(BoothList, KeysAreTrimmedAndATrailingSeparatorAddsNone) {
    const auto ab = ParseBoothList("http://10.0.0.5/shop/;A;B");
    EXPECT_EQ(ab.web_address, "http://10.0.0.5/shop/");
    EXPECT_EQ(ab.keys, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ParseBoothList("web address;A;").keys, std::vector<std::string>{"A"});
    EXPECT_EQ(ParseBoothList("web address;;A").keys, (std::vector<std::string>{"", "A"}));
    EXPECT_EQ(ParseBoothList(" web ; Booth 1 ;\tB2\r\n;B2").keys,
              (std::vector<std::string>{"Booth 1", "B2", "B2"}));
    EXPECT_EQ(ParseBoothList(" web ;x").web_address, " web ");  // only keys are trimmed

    const auto none = ParseBoothList("web address");
    EXPECT_EQ(none.web_address, "web address");
    EXPECT_TRUE(none.keys.empty());
    EXPECT_TRUE(ParseBoothList("").keys.empty());
}

TEST(CallEvents, MissingFieldsAreEmptyOrZero) {
    const auto dial = ParseCallDial("B1;0049301234;Berlin mobile;0.10;extra;more");
    EXPECT_EQ(dial.key, "B1");
    EXPECT_EQ(dial.destination, "0049301234");
    EXPECT_EQ(dial.description, "Berlin mobile");
    EXPECT_EQ(dial.rate, "0.10");
    const auto shortdial = ParseCallDial("B1;0049");
    EXPECT_EQ(shortdial.destination, "0049");
    EXPECT_EQ(shortdial.description, "");
    EXPECT_EQ(shortdial.rate, "");
    const auto rest = ParseDialRest(";;1.2");
    EXPECT_EQ(rest.destination, "");
    EXPECT_EQ(rest.rate, "1.2");

    const auto done = ParseCallFinished("B1;75;1.5");
    EXPECT_EQ(done.key, "B1");
    EXPECT_EQ(done.duration, 75);
    EXPECT_EQ(done.cost, 1.5);
    const auto nocost = ParseCallFinished("B1;75");
    EXPECT_EQ(nocost.duration, 75);
    EXPECT_EQ(nocost.cost, 0.0);
    const auto junk = ParseCallFinished(" B1 ;  12s;2.25 EUR;9");
    EXPECT_EQ(junk.key, " B1 ");
    EXPECT_EQ(junk.duration, 12);
    EXPECT_EQ(junk.cost, 2.25);
    const auto bare = ParseCallFinished("B1");
    EXPECT_EQ(bare.duration, 0);
    EXPECT_EQ(bare.cost, 0.0);
}

TEST(AtoiC, ReadsLikeTheCLibrary) {
    EXPECT_EQ(AtoiC("75"), 75);
    EXPECT_EQ(AtoiC(" \t\n-42xyz"), -42);
    EXPECT_EQ(AtoiC("+7"), 7);
    EXPECT_EQ(AtoiC("- 7"), 0);
    EXPECT_EQ(AtoiC("1.9"), 1);
    EXPECT_EQ(AtoiC(""), 0);
    EXPECT_EQ(AtoiC("abc"), 0);
    EXPECT_EQ(AtoiC("2147483647"), 2147483647);
    EXPECT_EQ(AtoiC("-2147483648"), INT32_MIN);
    EXPECT_EQ(AtoiC("4294967297"), 1);  // wraps to 32 bits
    EXPECT_EQ(AtoiC(std::string_view("12\0"
                                     "3",
                                     4)),
              12);
}

TEST(AtofC, ReadsDecimalHexAndSpecialForms) {
    EXPECT_EQ(AtofC("1.5"), 1.5);
    EXPECT_EQ(AtofC("  -0.25;"), -0.25);
    EXPECT_EQ(AtofC("+.5e1x"), 5.0);
    EXPECT_EQ(AtofC("3."), 3.0);
    EXPECT_EQ(AtofC("1e"), 1.0);
    EXPECT_EQ(AtofC("1e+"), 1.0);
    EXPECT_EQ(AtofC("2E-2"), 0.02);
    EXPECT_EQ(AtofC("1,5"), 1.0);
    EXPECT_EQ(AtofC("."), 0.0);
    EXPECT_EQ(AtofC("-"), 0.0);
    EXPECT_EQ(AtofC(""), 0.0);
    EXPECT_EQ(AtofC("0x1.8p1"), 3.0);
    EXPECT_EQ(AtofC("-0X10"), -16.0);
    EXPECT_EQ(AtofC("0x.8"), 0.5);
    EXPECT_EQ(AtofC("0xg"), 0.0);
    EXPECT_EQ(AtofC("0x1p"), 1.0);
    EXPECT_TRUE(std::signbit(AtofC("-0")));
    EXPECT_EQ(AtofC("INF"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(AtofC("-Infinity"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(AtofC("nan(123)")));
    EXPECT_TRUE(std::isnan(AtofC("NaN")));
    EXPECT_EQ(AtofC("in"), 0.0);
    EXPECT_EQ(AtofC("1e400"), HUGE_VAL);
    EXPECT_EQ(AtofC("-1e400"), -HUGE_VAL);
    EXPECT_EQ(AtofC("0x1p99999"), HUGE_VAL);
    EXPECT_EQ(AtofC("1e-400"), 0.0);
    EXPECT_EQ(AtofC("0.000000000000000000001e-400"), 0.0);
    EXPECT_EQ(AtofC("100000000000000000000000e-420"), 0.0);
    EXPECT_EQ(AtofC("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
}

#ifndef _WIN32
// The host's strtod in the C locale is the reference for every reading.
TEST(AtofC, AgreesWithStrtodInTheCLocale) {
    const char* samples[] = {
        "0",
        "1.5",
        "-2.75e3",
        "  +12.5e-2abc",
        "1e",
        "1e+",
        ".e1",
        "0x",
        "0x1",
        "0x1.fffffffffffffp1023",
        "0x1p-1074",
        "0x1p-1080",
        "1e308",
        "1.8e308",
        "2.2250738585072011e-308",
        "123456789012345678901234567890",
        "0.1000000000000000055511151231257827",
        "9007199254740993",
        "inf",
        "infinity",
        "infinit",
        "-nan",
        "nan(",
        "1.2.3",
        "00012",
        "1e-320",
        "-0x",
        "0x.p1",
        "0e99999999999",
        "1e99999999999",
        "0.0000000000000000000000000000001e330",
        "\v\f\r5",
        "1d",
        "5e-324",
        "2.4703282292062327e-324",
    };
    for (const char* s : samples) {
        const double expected = std::strtod(s, nullptr);
        const double got = AtofC(s);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << s;
        } else {
            EXPECT_EQ(got, expected) << s;
            EXPECT_EQ(std::signbit(got), std::signbit(expected)) << s;
        }
    }
}
#endif

// A process locale with a decimal comma must not change how costs are read.
TEST(AtofC, IgnoresACommaLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8",  "de_DE", "German_Germany.1252",
                           "German",      "fr_FR.UTF-8", "French"};
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* name : names) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(std::atof("1,5"), 1.5) << "the locale " << found << " should read a comma";
    EXPECT_EQ(AtofC("1.5"), 1.5);
    EXPECT_EQ(AtofC("1,5"), 1.0);
    EXPECT_EQ(ParseCallFinished("B1;75;0.35").cost, 0.35);
    EXPECT_EQ(AtoiC("1.000"), 1);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace tlx::link
