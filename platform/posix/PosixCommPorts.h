#pragma once

#include "../CommDevice.h"

namespace platform::posix {

// Serial devices of this machine, reached by the product's device path
// through the port map folder and the enumeration of present ports
// (PortNames.h), driven with termios.
CommPorts& SystemPorts();

}  // namespace platform::posix
