// SHA-256 through OpenSSL's libcrypto (the native build).
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

#include "core/billing/sha256.h"

namespace tlx::billing {
namespace {

struct FreeMd {
    void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};
struct FreeContext {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

Digest Sha256(std::string_view data) {
    // Fetched once and a context per thread: looking the algorithm up costs more than hashing
    // a bill, and a store's check hashes a million of them.
    static const std::unique_ptr<EVP_MD, FreeMd> sha256(EVP_MD_fetch(nullptr, "SHA256", nullptr));
    thread_local const std::unique_ptr<EVP_MD_CTX, FreeContext> context(EVP_MD_CTX_new());
    Digest out{};
    unsigned int size = 0;
    if (!sha256 || !context || EVP_DigestInit_ex(context.get(), sha256.get(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data.data(), data.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), out.data(), &size) != 1 || size != out.size()) {
        throw std::runtime_error("SHA-256 is not available");
    }
    return out;
}

}  // namespace tlx::billing
