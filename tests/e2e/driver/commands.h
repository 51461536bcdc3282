#pragma once

#include <string>

#include "options.h"

namespace uidriver {

// Runs one command; what it prints goes to out (UTF-8, '\n' line ends). Throws Failure.
void RunCommand(const Command& c, std::string& out);

extern const char kUsage[];

}  // namespace uidriver
