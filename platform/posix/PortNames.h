#pragma once

#include <optional>
#include <string>

namespace platform::posix {

// The port number of a device path "\\.\COM<n>" (1..256), or nothing.
std::optional<int> ComNumberFromPath(const std::string& path);

// The folder where a user pins a cable to a COM number with a link "com<n>":
// ${XDG_CONFIG_HOME:-$HOME/.config}/vrt58-dsp-updater/ports
std::string PortMapFolder();

// The device of this machine that COM<n> names: the link com<n> in the port
// map folder, else the n-th serial port present (USB ACM, USB serial, other
// tty devices with a device node in sysfs, then real legacy ports).
// Empty when there is none.
std::string DeviceForComNumber(int n);

}  // namespace platform::posix
