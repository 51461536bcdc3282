// SHA-256 through OpenSSL's libcrypto (the native build).
#include <openssl/evp.h>

#include <stdexcept>

#include "core/billing/sha256.h"

namespace tlx::billing {

Digest Sha256(std::string_view data) {
    Digest out{};
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &size, EVP_sha256(), nullptr) != 1 ||
        size != out.size()) {
        throw std::runtime_error("SHA-256 is not available");
    }
    return out;
}

}  // namespace tlx::billing
