#include "core/text/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <tuple>

namespace tlx::text {
namespace {

TEST(Numbers, ReadLikeTheCLibrary) {
    const std::pair<const char*, std::int32_t> ints[] = {
        {" \t\n-42xyz", -42},       {"+7", 7},        {"- 7", 0}, {"1.9", 1}, {"", 0},
        {"-2147483648", INT32_MIN}, {"4294967297", 1}};  // overflow wraps to 32 bits
    for (const auto& [text, value] : ints) EXPECT_EQ(AtoiC(text), value) << text;

    const double inf = std::numeric_limits<double>::infinity();
    const double tiny = std::numeric_limits<double>::denorm_min();
    const std::pair<const char*, double> reals[] = {
        {"  -0.25;", -0.25},     {"+.5e1x", 5.0},     {"3.", 3.0},        {"1e+", 1.0},
        {"2E-2", 0.02},          {"1,5", 1.0},        {".", 0.0},         {"+-1", 0.0},
        {"0x1.8p1", 3.0},        {"-0X10", -16.0},    {"0x.8", 0.5},      {"0xg", 0.0},
        {"0x1p", 1.0},           {"-Infinity", -inf}, {"in", 0.0},        {"-1e400", -HUGE_VAL},
        {"0x1p99999", HUGE_VAL}, {"1e-400", 0.0},     {"4.94e-324", tiny}};
    for (const auto& [text, value] : reals) EXPECT_EQ(AtofC(text), value) << text;
    EXPECT_TRUE(std::signbit(AtofC("-0")));
    EXPECT_TRUE(std::isnan(AtofC("nan(123)")));

    EXPECT_EQ(TrimBlanks(" \t\v\f\r\nB 1\n "), "B 1");
    EXPECT_EQ(TrimBlanks("\xA0x\xA0"), "\xA0x\xA0");  // only the C locale's blanks
}

// printf rounds the double's exact value: 2.675 lies just below, 0.125 and 2.5 are exact
// halves and go to the even digit. No grouping; a negative precision means 6.
TEST(Numbers, WriteLikePrintf) {
    const std::tuple<double, int, const char*> cases[] = {
        {1.3, 2, "1.30"},     {2.675, 2, "2.67"},        {0.125, 2, "0.12"},
        {2.5, 0, "2"},        {-1.5, 2, "-1.50"},        {-0.0, 2, "-0.00"},
        {-0.001, 2, "-0.00"}, {1.0 / 3, -1, "0.333333"}, {1234567.891, 2, "1234567.89"}};
    for (const auto& [value, decimals, text] : cases) EXPECT_EQ(FormatFixed(value, decimals), text);
}

#ifndef _WIN32
// The host's C library in the C locale is the reference for the harder cases.
TEST(Numbers, AgreeWithTheHostLibrary) {
    const char* const hard[] = {"0x1.fffffffffffffp1023",
                                "0x1p-1080",
                                "2.2250738585072011e-308",
                                "123456789012345678901234567890",
                                "0.1000000000000000055511151231257827",
                                "9007199254740993",
                                "infinit",
                                "-nan",
                                "nan(",
                                "-0x",
                                "0x.p1",
                                "0e99999999999",
                                "0.0000000000000000000000000000001e330",
                                "\v\f\r5",
                                "0.005",
                                "100000000000000000000000e-420",
                                "2.4703282292062327e-324"};
    for (const char* s : hard) {
        const double expected = std::strtod(s, nullptr);
        const double got = AtofC(s);
        EXPECT_TRUE(std::isnan(expected)
                        ? std::isnan(got)
                        : got == expected && std::signbit(got) == std::signbit(expected))
            << s;
        for (int decimals : {0, 2, 7}) {
            char printed[400];
            std::snprintf(printed, sizeof printed, "%.*f", decimals, expected);
            EXPECT_EQ(FormatFixed(expected, decimals), printed) << s;
        }
    }
}
#endif

// A process locale with a decimal comma changes neither reading nor writing.
TEST(Numbers, IgnoreACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale is installed";
    const double comma = std::atof("1,5"), read = AtofC("3.25");
    const std::string written = FormatFixed(12.5, 2);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(comma, 1.5) << "the locale must read a decimal comma for this test to mean anything";
    EXPECT_EQ(read, 3.25);
    EXPECT_EQ(written, "12.50");
}

}  // namespace
}  // namespace tlx::text
