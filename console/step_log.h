// How long the user-interface thread spends in its steps, for the benchmarks: with the
// environment variable TLX_STEP_LOG naming a file, each step appends a line
// `step NAME START SECONDS` (START on the performance counter, as the stall probe reads it).
// Without it a step costs one test of a pointer.
#pragma once

#include <cstdio>

namespace tlx::console {

class StepTimer {
  public:
    explicit StepTimer(const char* name);
    ~StepTimer();
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;

    // A step that ran from `start` until now, logged only when it took `at_least` seconds.
    static void Log(const char* name, double start, double at_least = 0.0);
    static bool on();

  private:
    const char* name_;
    double start_ = 0.0;
};

}  // namespace tlx::console
