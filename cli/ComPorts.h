#pragma once

#include "platform/CommDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The COM ports of this machine as the program's serial backend sees them,
// and the system's own device paths (ComPortsPosix.cpp, ComPortsWin32.cpp).
namespace cli {

// A COM number and what it opens here.
struct ComPort {
    int number = 0;
    std::string device;  // empty: the number is taken but opens nothing
    std::string why;     // how the number comes to open it
};

// COM1 to COM256 as the dialog's port list would open them, by number;
// numbers that open nothing are left out unless a user took them.
std::vector<ComPort> ComPortsOfThisMachine();

// What list-ports prints after the ports: how numbers are given out here,
// and what has no number.
std::string ComPortsNotes(const std::vector<ComPort>& ports);

// Whether `text` is a device path of this system (not a COM name).
bool IsDevicePath(const std::string& text);

// A device path of this system, for the help text.
std::string DevicePathExample();

// Whether two device paths lead to the same device.
bool SameDevice(const std::string& a, const std::string& b);

// Opens the device at `devicePath` the way the serial backend opens a COM
// port, or null with `error` set.
std::unique_ptr<platform::CommDevice> OpenDevicePath(const std::string& devicePath, std::uint32_t& error);

}  // namespace cli
