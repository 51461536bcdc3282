#include "core/console/web_login.h"

namespace tlx::console {

std::string PercentEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                           (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::string WebLoginQuery(std::string_view user, std::string_view password) {
    return "login=" + PercentEncode(user) + "&password=" + PercentEncode(password);
}

std::string WebLoginAddress(std::string_view web_address, std::string_view user,
                            std::string_view password) {
    return std::string(web_address) + "Login.aspx?" + WebLoginQuery(user, password);
}

}  // namespace tlx::console
