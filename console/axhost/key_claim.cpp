#include "console/axhost/key_claim.h"

#include <unordered_map>
#include <utility>

#include "win32/subclass.h"

namespace tlx::console {

namespace {

// The claims still held, by window; one gone with its window is dropped at the next claim.
std::unordered_map<HWND, win32::Subclass>& KeyClaims() {
    static std::unordered_map<HWND, win32::Subclass> claims;
    return claims;
}

LRESULT WantAllKeys(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const LRESULT own = win32::Subclass::Next(hwnd, msg, wp, lp);
    return msg == WM_GETDLGCODE ? own | DLGC_WANTALLKEYS : own;
}

}  // namespace

void ClaimAllKeys(HWND window) {
    auto& claims = KeyClaims();
    std::erase_if(claims, [](const auto& claim) { return !claim.second.installed(); });
    if (claims.count(window) != 0) return;
    win32::Subclass claim(window, &WantAllKeys);  // may throw: nothing changed yet
    if (claim.installed()) claims.emplace(window, std::move(claim));  // a throw removes it
}

void StopClaimingKeys(HWND window) noexcept {
    KeyClaims().erase(window);
}

}  // namespace tlx::console
