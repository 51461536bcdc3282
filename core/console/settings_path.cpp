#include "core/console/settings_path.h"

namespace tlx::console {

std::string SettingsPathFor(std::string_view module_path) {
    std::string path(module_path);
    const std::size_t slash = path.find_last_of('\\');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t name_length = path.size() - name_start;
    if (name_length < 3) return path + ".ini";
    path.replace(path.size() - 3, 3, "ini");
    return path;
}

std::vector<std::string> SplitSectionBuffer(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string piece;
    for (char c : bytes) {
        if (c != '\0') {
            piece.push_back(c);
        } else if (!piece.empty()) {
            lines.push_back(std::move(piece));
            piece.clear();
        }
    }
    if (!piece.empty()) lines.push_back(std::move(piece));
    return lines;
}

}  // namespace tlx::console
