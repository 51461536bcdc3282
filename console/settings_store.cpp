#include "console/settings_store.h"

#include <windows.h>

#include "core/console/settings_path.h"

namespace tlx::console {

std::string SettingsStore::ProgramSettingsPath() {
    char module[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
    return tlx::console::SettingsPathFor(std::string_view(module, n));
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view key) {
    char buffer[255] = {};
    const DWORD n = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                             "", buffer, sizeof buffer, path_.c_str());
    last_result_ = static_cast<int>(n);
    return std::string(buffer, n);
}

const std::vector<std::string>& SettingsStore::ReadSection(std::string_view section) {
    section_.clear();
    char buffer[2000] = {};
    const DWORD n = GetPrivateProfileSectionA(std::string(section).c_str(), buffer, sizeof buffer,
                                              path_.c_str());
    last_result_ = static_cast<int>(n);
    section_ = tlx::console::SplitSectionBuffer(std::string_view(buffer, n));
    return section_;
}

void SettingsStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    last_result_ =
        WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                   std::string(value).c_str(), path_.c_str());
}

}  // namespace tlx::console
