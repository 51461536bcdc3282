#include "console/step_log.h"

#include <windows.h>

#include <cstdlib>

#include "win32/clock.h"

namespace tlx::console {

namespace {

// Opened once, on first use, and left to the C runtime to close at exit.
std::FILE* LogFile() {
    static std::FILE* file = [] {
        const char* path = std::getenv("TLX_STEP_LOG");
        return path && *path ? std::fopen(path, "a") : nullptr;
    }();
    return file;
}

}  // namespace

bool StepTimer::on() {
    return LogFile() != nullptr;
}

StepTimer::StepTimer(const char* name) : name_(name) {
    if (on()) start_ = tlx::win32::CounterSeconds();
}

StepTimer::~StepTimer() {
    if (on()) Log(name_, start_);
}

void StepTimer::Log(const char* name, double start, double at_least) {
    std::FILE* file = LogFile();
    if (!file) return;
    const double seconds = tlx::win32::CounterSeconds() - start;
    if (seconds < at_least) return;
    std::fprintf(file, "step %s %.6f %.6f\n", name, start, seconds);
    std::fflush(file);
}

}  // namespace tlx::console
