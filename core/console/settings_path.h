// Where the console keeps its settings: one profile file beside the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tlx::console {

// The program's own path with the last three characters of its file name replaced by
// "ini": C:\Booths\Tellarix.exe -> C:\Booths\Tellarix.ini. A file name shorter than three
// characters gets ".ini" appended instead of eating into the folder part.
std::string SettingsPathFor(std::string_view module_path);

// The pieces of a profile section as the platform returns them: lines ended by NUL bytes.
// Every non-empty line becomes one entry, in file order.
std::vector<std::string> SplitSectionBuffer(std::string_view bytes);

}  // namespace tlx::console
