#include "core/console/settings_path.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace tlx::console {
namespace {

TEST(SettingsPath, OnlyTheExtensionOfTheProgramNameChanges) {
    EXPECT_EQ(SettingsPathFor(R"(C:\Booths\TELLARIX.EXE)"), R"(C:\Booths\TELLARIX.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\v1.2\counter.exe)"), R"(C:\v1.2\counter.ini)");  // folder dot
    EXPECT_EQ(SettingsPathFor("Tellarix.exe"), "Tellarix.ini");
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\ab)"), R"(C:\Shop\ab.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\)"), R"(C:\Shop\.ini)");
}

// The platform hands a section over as "line\0line\0\0", and a section larger than the buffer
// cut off anywhere; lines go to the console as they stand, '=' and all.
TEST(SettingsSection, SplitsAtNulBytesOnlyAndDropsEmptyPieces) {
    using namespace std::string_view_literals;
    using Lines = std::vector<std::string>;
    const std::pair<std::string_view, Lines> cases[] = {
        {""sv, {}},  // missing or empty section
        {"\0"sv, {}},
        {"\0\0"sv, {}},
        {"1=Window\0\0"sv, {"1=Window"}},
        {"Ben\0Anna=1\0\0"sv, {"Ben", "Anna=1"}},    // operator names without '='
        {"URL=a?b=c&d=e\0\0"sv, {"URL=a?b=c&d=e"}},  // '=' inside the value
        {"=\0=x\0k=\0\0"sv, {"=", "=x", "k="}},      // empty key or value
        {"a=1\0\0\0\0b=2\0\0"sv, {"a=1", "b=2"}},    // NULs in a row, then more
        {"a=1\0b=2"sv, {"a=1", "b=2"}},              // cut off: no closing NUL
        {"\0a = 1 \0"sv, {"a = 1 "}},                // blanks kept
    };
    for (const auto& [bytes, lines] : cases)
        EXPECT_EQ(SplitSectionBuffer(bytes), lines) << testing::PrintToString(std::string(bytes));
}

}  // namespace
}  // namespace tlx::console
