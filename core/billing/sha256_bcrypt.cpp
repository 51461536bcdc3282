// SHA-256 through Windows' CNG (the Windows build only; the core's other files stay free of
// <windows.h>).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "core/billing/sha256.h"

namespace tlx::billing {
namespace {

// The algorithm provider is opened once: opening it costs far more than hashing a bill.
class Provider {
  public:
    Provider() {
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            handle_ = nullptr;
        }
    }
    ~Provider() {
        if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Hash {
  public:
    explicit Hash(BCRYPT_ALG_HANDLE provider) {
        if (!provider ||
            !BCRYPT_SUCCESS(BCryptCreateHash(provider, &handle_, nullptr, 0, nullptr, 0, 0))) {
            handle_ = nullptr;
        }
    }
    ~Hash() {
        if (handle_) BCryptDestroyHash(handle_);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE get() const { return handle_; }

  private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

}  // namespace

Digest Sha256(std::string_view data) {
    static const Provider provider;
    Hash hash(provider.get());
    Digest out{};
    // BCryptHashData takes a ULONG length: feed long inputs in pieces.
    bool ok = hash.get() != nullptr;
    while (ok && !data.empty()) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(data.size(), 1u << 30));
        ok = BCRYPT_SUCCESS(BCryptHashData(
            hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), piece, 0));
        data.remove_prefix(piece);
    }
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), out.data(), out.size(), 0));
    if (!ok) throw std::runtime_error("SHA-256 is not available");
    return out;
}

}  // namespace tlx::billing
