// Private messages of the main window. Every string they carry is a heap std::string that
// the handler takes over and frees.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace tlx::console {

inline constexpr UINT WM_SERVER_LOST = WM_USER + 13;
inline constexpr UINT WM_CALL_DIAL = WM_USER + 31;       // wParam key, lParam rest
inline constexpr UINT WM_CALL_CONNECTED = WM_USER + 32;  // wParam whole text
inline constexpr UINT WM_CALL_FINISHED = WM_USER + 33;   // wParam whole text
inline constexpr UINT WM_CALL_REJECTED = WM_USER + 34;   // wParam whole text
inline constexpr UINT WM_PRINT_BILL = WM_USER + 35;      // wParam the booth's calls text

// The receiving side takes the string over; a null parameter gives no text.
inline std::unique_ptr<std::string> TakeText(WPARAM param) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(param));
}

// Posts `msg` with up to two strings; they belong to the window once the post succeeded
// and stay with the caller (and are freed by it) when it failed.
inline bool PostTexts(HWND hwnd, UINT msg, std::unique_ptr<std::string> first,
                      std::unique_ptr<std::string> second = nullptr) {
    if (!PostMessageA(hwnd, msg, reinterpret_cast<WPARAM>(first.get()),
                      reinterpret_cast<LPARAM>(second.get()))) {
        return false;
    }
    first.release();
    second.release();
    return true;
}

}  // namespace tlx::console
