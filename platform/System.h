#pragma once

#include "CommDevice.h"

#include <string>

// What the product asks of the machine it runs on, beyond the clock: its
// serial ports and its own name. One backend provides them: posix/ on Linux,
// win32/ on Windows.
namespace platform {

// This machine's serial ports, opened by the product's device path.
CommPorts& SystemPorts();

// The running program's file name without its folder and extension
// ("VRT58DSPUpdater"); `fallback` when the system cannot tell.
std::string ExecutableName(const std::string& fallback);

}  // namespace platform
