// Command-line words of one driver command: its name, its --options and its plain values.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace uidriver {

// A failure the operator of the script should read; the driver prints it and exits with 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Utf8(const std::wstring& w);
std::wstring Wide(const std::string& utf8);

struct Command {
    std::wstring name;
    std::map<std::wstring, std::wstring> options;  // "--title" -> "Tellarix"
    std::vector<std::wstring> flags;               // "--force"
    std::vector<std::wstring> values;              // plain words, in order

    bool Has(const std::wstring& option) const;
    bool Flag(const std::wstring& flag) const;
    std::optional<std::wstring> Get(const std::wstring& option) const;
    std::wstring Require(const std::wstring& option) const;
    long Int(const std::wstring& option, long fallback) const;
    double Seconds(const std::wstring& option, double fallback) const;
};

// Splits the whole command line into commands at the word "::" and sorts each command's words.
// Throws Failure on an unknown option or a missing option value.
std::vector<Command> ParseCommands(const std::vector<std::wstring>& words);

// Parses a whole decimal number; throws Failure naming what was expected.
long ParseInt(const std::wstring& text, const char* what);
// Windows path for a Unix path under Wine ("/tmp/a" -> "Z:\tmp\a"); other paths unchanged.
std::wstring WindowsPath(const std::wstring& path);

}  // namespace uidriver
