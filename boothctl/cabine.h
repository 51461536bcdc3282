// The booth control object TellarixCabine: ICabine for the console, and the platform's standard
// embedding interfaces for its container.
#pragma once

#include <objbase.h>

namespace tlx::boothctl {

// Creates one booth control; with `outer` set it is aggregated and `riid` must be IUnknown.
HRESULT CreateCabine(IUnknown* outer, REFIID riid, void** out);

}  // namespace tlx::boothctl
