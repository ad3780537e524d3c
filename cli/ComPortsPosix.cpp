#include "ComPorts.h"

#include "platform/posix/PortNames.h"
#include "platform/posix/PosixCommDevice.h"

#include <filesystem>

#include <sys/stat.h>

namespace cli {

namespace fs = std::filesystem;

namespace {

constexpr int HIGHEST_COM = 256;

// The ports present, in the order they get numbers.
std::vector<std::string> Present()
{
    return platform::posix::SerialPortsPresent("/dev", "/sys");
}

}  // namespace

std::vector<ComPort> ComPortsOfThisMachine()
{
    const std::string folder = platform::posix::PortMapFolder();
    const std::vector<std::string> present = Present();
    std::vector<ComPort> ports;
    for (int n = 1; n <= HIGHEST_COM; ++n) {
        const std::string link = "com" + std::to_string(n);
        if (const auto pinned = platform::posix::PinnedDevice(n, folder)) {
            if (pinned->empty()) {
                ports.push_back({n, "", "pinned by the link " + link + " in the port map folder, which leads nowhere"});
            } else {
                std::error_code error;
                const fs::path target = fs::canonical(*pinned, error);
                ports.push_back({n, error ? *pinned : target.string(),
                                 "pinned by the link " + link + " in the port map folder"});
            }
        } else if (static_cast<std::size_t>(n) <= present.size()) {
            ports.push_back({n, present[static_cast<std::size_t>(n) - 1],
                             "serial port " + std::to_string(n) + " of " + std::to_string(present.size()) +
                                 " present"});
        }
    }
    return ports;
}

std::string ComPortsNotes(const std::vector<ComPort>& ports)
{
    std::string notes;
    // A pinned number hides the port present that would have had it.
    const std::vector<std::string> present = Present();
    for (std::size_t i = 0; i < present.size(); ++i) {
        bool reachable = false;
        for (const ComPort& port : ports) {
            reachable = reachable || (!port.device.empty() && SameDevice(port.device, present[i]));
        }
        if (!reachable) {
            notes += present[i] + " (serial port " + std::to_string(i + 1) + " present) has no COM number: COM" +
                     std::to_string(i + 1) + " is pinned.\n";
        }
    }
    const std::string folder = platform::posix::PortMapFolder();
    notes += "COM<n> opens the link com<n> in the port map folder\n  " +
             (folder.empty() ? std::string("(none: no home folder)") : folder) +
             "\nwhen there is one, else the n-th serial port present: /dev/ttyACM*, then\n"
             "/dev/ttyUSB*, then other tty devices with a device in sysfs, then /dev/ttyS*\n"
             "with real hardware.\n";
    return notes;
}

bool IsDevicePath(const std::string& text)
{
    return text.find('/') != std::string::npos;
}

std::string DevicePathExample()
{
    return "/dev/ttyUSB0";
}

bool SameDevice(const std::string& a, const std::string& b)
{
    // By the device itself: std::filesystem::equivalent declines to compare
    // two device nodes.
    struct stat first {};
    struct stat second {};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) {
        return false;
    }
    if (S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode)) {
        return first.st_rdev == second.st_rdev;
    }
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::unique_ptr<platform::CommDevice> OpenDevicePath(const std::string& devicePath, std::uint32_t& error)
{
    return platform::posix::PosixCommDevice::Open(devicePath, error);
}

}  // namespace cli
