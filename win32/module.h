// The module (program or library) this code is linked into: where its dialog templates,
// strings and pictures live.
#pragma once

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tlx::win32 {

inline HINSTANCE ThisModule() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

}  // namespace tlx::win32
