#pragma once

#include "platform/console/Terminal.h"

#include <string>
#include <vector>

namespace cli {

// Runs the command line `args` (the arguments after the program's name)
// with `terminal` as the standard streams, over the platform's current
// clock and serial ports; returns the exit status (ExitStatus.h).
int RunCommandLine(const std::vector<std::string>& args, platform::console::Terminal& terminal);

// What --help and --version print.
std::string HelpText();
std::string VersionText();

}  // namespace cli
