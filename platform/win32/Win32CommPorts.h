#pragma once

#include "../CommDevice.h"

namespace platform::win32 {

// Serial devices of this machine: the product's device path "\\.\COM<n>" is
// the Windows device name itself.
CommPorts& SystemPorts();

}  // namespace platform::win32
