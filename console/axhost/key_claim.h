// A booth's own window claims all keys too: the focus sits there, and that is the window the
// dialog manager asks (WM_GETDLGCODE). UI thread only, like every site.
#pragma once

#include <windows.h>

namespace tlx::console {

// Subclasses window so it answers DLGC_WANTALLKEYS on top of its own answer. May throw
// std::bad_alloc, before anything changed.
void ClaimAllKeys(HWND window);
// Ends the claim; a claim also ends with its window.
void StopClaimingKeys(HWND window) noexcept;

}  // namespace tlx::console
