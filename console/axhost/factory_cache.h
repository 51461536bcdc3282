// The class factories of the controls in use. A page of booths creates many controls of one
// class: the factory is looked up in the registry once and kept while any of them lives.
#pragma once

#include <ole2.h>
#include <windows.h>

#include "console/axhost/control_site.h"

namespace tlx::console {

// A new control of class clsid from its cached factory; on success the caller owes one
// ReleaseCachedFactory(clsid) once the control is gone.
HRESULT CreateFromCachedFactory(const CLSID& clsid, ComPtr<IOleObject>& object);
void ReleaseCachedFactory(const CLSID& clsid);

}  // namespace tlx::console
