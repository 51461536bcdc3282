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
    bool Exists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string path_;
    SettingsStore store_;
};

TEST_F(Settings, MissingFileReadsEmptyAndIsNotCreated) {
    EXPECT_EQ(store_.ReadString("NETWORK", "SERVER_IP"), "");
    EXPECT_TRUE(store_.ReadSection("OPERATORS").empty());
    EXPECT_FALSE(Exists());
    store_.WriteString("NETWORK", "SERVER_IP", "192.168.0.1");
    EXPECT_TRUE(Exists());
    EXPECT_EQ(store_.ReadString("network", "server_ip"), "192.168.0.1") << "names ignore case";
}

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

TEST_F(Settings, WritingKeepsOtherKeys) {
    Write("[NETWORK]\r\nSERVER_IP=10.0.0.2\r\nPASSWORD=old\r\n");
    store_.WriteString("NETWORK", "PASSWORD", "new");
    EXPECT_EQ(store_.ReadString("NETWORK", "PASSWORD"), "new");
    EXPECT_EQ(store_.ReadString("NETWORK", "SERVER_IP"), "10.0.0.2");
    EXPECT_NE(store_.last_result(), 0);
}

}  // namespace
}  // namespace tlx::console
