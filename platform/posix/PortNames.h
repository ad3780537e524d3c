#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

// The port number of a device path "\\.\COM<n>" (1..256), or nothing.
std::optional<int> ComNumberFromPath(const std::string& path);

// The folder where a user pins a cable to a COM number with a link "com<n>":
// ${XDG_CONFIG_HOME:-$HOME/.config}/vrt58-dsp-updater/ports
std::string PortMapFolder();

// How a user pinned COM<n>: the link com<n> in `portMapFolder` when there
// is one, or "" when that link leads nowhere (the number then names no
// device). Nothing when COM<n> is not pinned.
std::optional<std::string> PinnedDevice(int n, const std::string& portMapFolder);

// The device of this machine that COM<n> names: the link com<n> in the port
// map folder, else the n-th serial port present (USB ACM, USB serial, other
// tty devices with a device node in sysfs, then real legacy ports).
// Empty when there is none.
std::string DeviceForComNumber(int n);

// The same with the folders given, so the lookup can run on a prepared tree:
// `portMapFolder` may be empty (no port map), `devRoot` stands for /dev and
// `sysRoot` for /sys.
std::string DeviceForComNumber(int n, const std::string& portMapFolder, const std::string& devRoot,
                               const std::string& sysRoot);

// The serial ports present under `devRoot`, in COM-number order (the first
// is COM1).
std::vector<std::string> SerialPortsPresent(const std::string& devRoot, const std::string& sysRoot);

}  // namespace platform::posix
