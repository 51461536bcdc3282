// The booth control's interface and identifiers as the console uses them, taken from the
// header generated from the booth control's IDL (vtable order fixed there).
#pragma once

// clang-format off
#include <windows.h>
#include <ole2.h>
// clang-format on

#include "Tellarix_h.h"

namespace tlx::console {

using ::ICabine;
inline const CLSID& kClsidTellarixCabine = CLSID_TellarixCabine;
inline const IID& kIidICabine = IID_ICabine;
inline const IID& kIidICabineEvents = DIID__ICabineEvents;
inline constexpr DISPID kDispidOnPrintClick = 1;  // onPrintClick of _ICabineEvents

}  // namespace tlx::console
