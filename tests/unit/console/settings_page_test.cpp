#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "core/console/currency.h"
#include "core/console/settings_keys.h"

namespace tlx::console {
namespace {

TEST(Currency, SavedUnitAndButtonMatchBothWays) {
    const std::pair<const char*, CurrencyButton> cases[] = {
        {"$", CurrencyButton::kDollar},
        {"\x80", CurrencyButton::kEuro},
        {"EUR", CurrencyButton::kOther},
        {"", CurrencyButton::kOther},
        {"\xE2\x82\xAC", CurrencyButton::kOther},  // a UTF-8 euro sign is no euro here
        {"$ ", CurrencyButton::kOther}};
    for (const auto& [unit, button] : cases) EXPECT_EQ(ButtonForUnit(unit), button) << unit;
    EXPECT_EQ(UnitForButton(CurrencyButton::kOther, "\xA3"), "\xA3");
    for (auto b : {CurrencyButton::kEuro, CurrencyButton::kDollar})
        EXPECT_EQ(ButtonForUnit(UnitForButton(b, "ignored")), b);
}

// The profile functions match names without regard to case: two entries differing only in
// case would be one setting.
TEST(SettingsTable, EveryKeyOnceWellFormedAndExplained) {
    std::set<std::pair<std::string, std::string>> seen;
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    auto check = [&](const settings::Key& k) {
        EXPECT_TRUE(seen.emplace(upper(std::string(k.section)), upper(std::string(k.key))).second)
            << k.key << " twice";
        for (std::string_view name : {k.section, k.key})
            EXPECT_TRUE(!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || c == '_';
            })) << name;
        EXPECT_FALSE(k.meaning.empty()) << k.key;
    };
    for (const auto& k : settings::kSingleValues) check(k);
    for (const auto& k : settings::kBillLabels) check(k);
}

}  // namespace
}  // namespace tlx::console
