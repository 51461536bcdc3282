#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <tuple>

#include "console/currency.h"
#include "console/settings_keys.h"

namespace tlx::console {
namespace {

TEST(Currency, SavedUnitChoosesItsButton) {
    const std::pair<const char*, CurrencyButton> cases[] = {
        {"$", CurrencyButton::kDollar},           {"\x80", CurrencyButton::kEuro},
        {"EUR", CurrencyButton::kOther},          {"", CurrencyButton::kOther},
        {"\xE2\x82\xAC", CurrencyButton::kOther},  // a UTF-8 euro sign is no euro here
        {"$ ", CurrencyButton::kOther},           {"\x80\x80", CurrencyButton::kOther}};
    for (const auto& [unit, button] : cases) EXPECT_EQ(ButtonForUnit(unit), button) << unit;
}

TEST(Currency, SavedUnitIsTheButtonsSignOrTheTypedText) {
    EXPECT_EQ(UnitForButton(CurrencyButton::kEuro, "ignored"), "\x80");
    EXPECT_EQ(UnitForButton(CurrencyButton::kDollar, "ignored"), "$");
    EXPECT_EQ(UnitForButton(CurrencyButton::kOther, "\xA3"), "\xA3");
    EXPECT_EQ(UnitForButton(CurrencyButton::kOther, ""), "");
    // What the buttons save opens the page on the same button.
    for (auto b : {CurrencyButton::kEuro, CurrencyButton::kDollar})
        EXPECT_EQ(ButtonForUnit(UnitForButton(b, "")), b);
}

// The profile functions match names without regard to case: two entries differing only in
// case would be one setting.
std::string Upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    return out;
}

TEST(SettingsTable, EveryKeyOnceWellFormedAndExplained) {
    std::set<std::pair<std::string, std::string>> seen;
    auto check = [&](const settings::Key& k) {
        EXPECT_TRUE(seen.emplace(Upper(k.section), Upper(k.key)).second) << k.key << " twice";
        for (std::string_view name : {k.section, k.key})
            EXPECT_TRUE(!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || c == '_';
            })) << name;
        EXPECT_FALSE(k.meaning.empty()) << k.key;
    };
    for (const auto& k : settings::kSingleValues) check(k);
    for (const auto& k : settings::kBillLabels) check(k);
}

// The grid edits what billing reads: each row's name, caption and setting, in the grid's order,
// as the bills and the settings file know them.
TEST(SettingsTable, GridRowsEditTheBillSettings) {
    using Row = std::tuple<std::string_view, std::string_view, std::string_view, std::string_view>;
    const Row documented[] = {{"company_name", "Company name", "PRINT", "COMPANY_NAME"},
                              {"financial_id", "Financial ID", "PRINT", "FINANCIAL_ID"},
                              {"commercial_name", "Commercial name", "PRINT", "COMMERCIAL_NAME"},
                              {"tax", "Tax [%]", "MISC", "TAX"}};
    ASSERT_EQ(std::size(documented), settings::kGridRows.size());
    for (std::size_t i = 0; i < settings::kGridRows.size(); ++i) {
        const auto& row = settings::kGridRows[i];
        EXPECT_EQ(Row(row.name, row.caption, row.setting.section, row.setting.key), documented[i]);
    }
}

}  // namespace
}  // namespace tlx::console
