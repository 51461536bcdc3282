#include "core/console/settings_path.h"

#include <gtest/gtest.h>

namespace tlx::console {
namespace {

TEST(SettingsPath, OnlyTheExtensionOfTheProgramNameChanges) {
    EXPECT_EQ(SettingsPathFor(R"(C:\Booths\TELLARIX.EXE)"), R"(C:\Booths\TELLARIX.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\v1.2\counter.exe)"), R"(C:\v1.2\counter.ini)");  // folder dot
    EXPECT_EQ(SettingsPathFor("Tellarix.exe"), "Tellarix.ini");
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\ab)"), R"(C:\Shop\ab.ini)");
    EXPECT_EQ(SettingsPathFor(R"(C:\Shop\)"), R"(C:\Shop\.ini)");
}

}  // namespace
}  // namespace tlx::console
