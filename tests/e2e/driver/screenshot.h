#pragma once

#include <windows.h>

#include <string>

namespace uidriver {

// Saves what the screen shows of window (the whole screen when null) as a 24-bit .bmp. With
// printWindow the window draws itself instead (covered parts included).
void SaveScreenshot(HWND window, bool printWindow, const std::wstring& file);

}  // namespace uidriver
