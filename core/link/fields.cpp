#include "core/link/fields.h"

namespace tlx::link {

std::string NextField(std::string& text) {
    const std::size_t semi = text.find(';');
    if (semi == std::string::npos) {
        std::string field = std::move(text);
        text.clear();
        return field;
    }
    std::string field = text.substr(0, semi);
    text.erase(0, semi + 1);
    return field;
}

}  // namespace tlx::link
