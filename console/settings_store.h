// The one accessor of the console's settings file (a profile file beside the program).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/console/settings_keys.h"

namespace tlx::console {

class SettingsStore {
  public:
    // The settings file of the running program (beside it).
    static std::string ProgramSettingsPath();
    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    // Empty when the key, section or file is missing; values are cut to 254 characters.
    std::string ReadString(std::string_view section, std::string_view key);
    // The section's lines (key=value as they stand), blank ones left out; up to 2000 bytes.
    const std::vector<std::string>& ReadSection(std::string_view section);
    // Creates file, section or key as needed; a failure is kept in last_result() only.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string Read(const tlx::console::settings::Key& k) { return ReadString(k.section, k.key); }
    void Write(const tlx::console::settings::Key& k, std::string_view value) {
        WriteString(k.section, k.key, value);
    }

    int last_result() const { return last_result_; }

  private:
    std::string path_;
    int last_result_ = 0;
    std::vector<std::string> section_;
};

}  // namespace tlx::console
