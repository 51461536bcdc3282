#include "console/settings_path.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace tlx::console {
namespace {

TEST(SettingsPath, OnlyTheExtensionOfTheProgramNameChanges) {
    EXPECT_EQ(SettingsPathFor(R"(D:\Shop\Tellarix.exe)"), R"(D:\Shop\Tellarix.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\Booths\TELLARIX.EXE)"), R"(C:\Booths\TELLARIX.ini)");
    // A dotted folder name is not an extension.
    EXPECT_EQ(SettingsPathFor(R"(C:\v1.2\counter.exe)"), R"(C:\v1.2\counter.ini)");
    EXPECT_EQ(SettingsPathFor("Tellarix.exe"), "Tellarix.ini");
}

TEST(SettingsPath, ShortProgramNameKeepsItsFolder) {
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\ab)"), R"(C:\Shop\ab.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\)"), R"(C:\Shop\.ini)");
}

}  // namespace
}  // namespace tlx::console
