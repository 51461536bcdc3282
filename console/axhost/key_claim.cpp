#include "console/axhost/key_claim.h"

#include <unordered_map>

namespace tlx::console {

namespace {

// Plain window-procedure subclassing with the control's procedure kept here: the common
// controls' kind looks its data up in a window property on every message, a trip to the
// window server each time under Wine, and a booth's window sees several messages per call
// event.
std::unordered_map<HWND, WNDPROC>& KeyClaimingWindows() {
    static std::unordered_map<HWND, WNDPROC> windows;
    return windows;
}

LRESULT CALLBACK WantAllKeysProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto& windows = KeyClaimingWindows();
    const auto it = windows.find(hwnd);
    if (it == windows.end()) return DefWindowProcW(hwnd, msg, wp, lp);
    const WNDPROC own = it->second;
    if (msg == WM_GETDLGCODE) return CallWindowProcW(own, hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        windows.erase(it);
    }
    return CallWindowProcW(own, hwnd, msg, wp, lp);
}

}  // namespace

void ClaimAllKeys(HWND window) {
    auto& windows = KeyClaimingWindows();
    if (windows.count(window) != 0) return;
    auto [it, added] = windows.emplace(window, nullptr);  // may throw: nothing changed yet
    it->second = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WantAllKeysProc)));
    if (it->second == nullptr) windows.erase(it);
}

void StopClaimingKeys(HWND window) noexcept {
    auto& windows = KeyClaimingWindows();
    const auto it = windows.find(window);
    if (it == windows.end()) return;
    if (GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&WantAllKeysProc))
        return;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second));
    windows.erase(it);
}

}  // namespace tlx::console
