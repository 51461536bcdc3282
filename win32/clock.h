// Seconds on the performance counter: for measuring intervals, never for the time of day.
#pragma once

#include <windows.h>

namespace tlx::win32 {

inline double CounterSeconds() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace tlx::win32
