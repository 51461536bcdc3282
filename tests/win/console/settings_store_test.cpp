#include "console/settings_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

namespace tlx::console {
namespace {

class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "tellarix-settings-test.ini";
        DeleteFileA(path_.c_str());
        store_.SetPath(path_);
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

    std::string path_;
    SettingsStore store_;
};

TEST_F(Settings, LongValueIsCutTo254Characters) {
    Write("[PRINT]\r\nCOMPANY_NAME=" + std::string(300, 'x') + "\r\n");
    EXPECT_EQ(store_.ReadString("PRINT", "COMPANY_NAME"), std::string(254, 'x'));
}

TEST_F(Settings, SectionLinesComeWholeInOrderAndDoNotMix) {
    Write("[OPERATORS]\r\nBen\r\n\r\nAnna=1\r\n[ALIASES]\r\n1=Window\r\n");
    EXPECT_EQ(store_.ReadSection("OPERATORS"), (std::vector<std::string>{"Ben", "Anna=1"}));
    EXPECT_EQ(store_.ReadSection("ALIASES"), (std::vector<std::string>{"1=Window"}));
    EXPECT_TRUE(store_.ReadSection("MISC").empty());
}

}  // namespace
}  // namespace tlx::console
