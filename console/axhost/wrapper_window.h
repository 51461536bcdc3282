// The window a hosted control lives in: a child of the console's page, sized like the control's
// cell. It hands its size on to the control, its focus to the control's window, and claims all
// keys when the site asks it to.
#pragma once

#include <windows.h>

namespace tlx::console {

class ControlSite;

// A new wrapper for site (read back on every message, until the window goes) in parent's
// client coordinates rect, with control identifier id; null on failure (see GetLastError).
HWND CreateWrapperWindow(HWND parent, const RECT& rect, int id, bool visible, ControlSite* site);
// Forgets the site first, so the window's last messages reach no half-gone site. Null, or a
// window already destroyed with its parent, is fine.
void DestroyWrapperWindow(HWND wrapper) noexcept;

}  // namespace tlx::console
