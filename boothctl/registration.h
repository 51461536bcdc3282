// What registering the booth control writes into HKEY_CLASSES_ROOT, and its removal.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
// clang-format on

namespace tlx::boothctl {

HRESULT RegisterBoothControl();
HRESULT UnregisterBoothControl();

}  // namespace tlx::boothctl
