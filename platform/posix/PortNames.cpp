#include "PortNames.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace platform::posix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kComPrefix = R"(\\.\COM)";
constexpr int kHighestComNumber = 256;

// A device name split into its stem and trailing number, so ttyACM10 sorts
// after ttyACM2.
struct DeviceName {
    std::string name;
    std::string stem;
    unsigned long long number = 0;
    bool numbered = false;

    bool operator<(const DeviceName& other) const
    {
        return std::tie(stem, numbered, number, name) < std::tie(other.stem, other.numbered, other.number, other.name);
    }
};

DeviceName SplitName(const std::string& name)
{
    DeviceName split{name, name};
    const auto digits = name.find_last_not_of("0123456789") + 1;
    if (digits < name.size()) {
        const char* first = name.data() + digits;
        const char* last = name.data() + name.size();
        const auto [end, error] = std::from_chars(first, last, split.number);
        if (error == std::errc() && end == last) {
            split.stem = name.substr(0, digits);
            split.numbered = true;
        }
    }
    return split;
}

// "ttyUSB3" is of family "ttyUSB"; "ttyUSBx" and "ttyUSB" are not.
bool IsNumbered(const DeviceName& name, std::string_view family)
{
    return name.numbered && name.stem == family;
}

bool Exists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

// The device nodes under `devRoot` of one numbered family, by number.
std::vector<DeviceName> NodesOfFamily(const fs::path& devRoot, std::string_view family)
{
    std::vector<DeviceName> nodes;
    std::error_code error;
    for (fs::directory_iterator it(devRoot, error), end; !error && it != end; it.increment(error)) {
        DeviceName name = SplitName(it->path().filename().string());
        std::error_code typeError;
        if (IsNumbered(name, family) && !it->is_directory(typeError)) {
            nodes.push_back(std::move(name));
        }
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

// A legacy port that the driver only reserved reports UART type 0.
bool LegacyPortIsReal(const fs::path& sysRoot, const std::string& name)
{
    std::ifstream typeFile(sysRoot / "class" / "tty" / name / "type");
    long type = 0;
    return static_cast<bool>(typeFile >> type) && type != 0;
}

// sysfs writes '/' in a device's name as '!'.
fs::path DevNodeOf(const fs::path& devRoot, std::string name)
{
    std::replace(name.begin(), name.end(), '!', '/');
    return devRoot / name;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

std::optional<int> ComNumberFromPath(const std::string& path)
{
    if (!path.starts_with(kComPrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = std::string_view(path).substr(kComPrefix.size());
    if (digits.empty() || digits.size() > 3 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    int number = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (number < 1 || number > kHighestComNumber) {
        return std::nullopt;
    }
    return number;
}

std::string PortMapFolder()
{
    // Relative values are invalid by the XDG rules and are ignored.
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const std::string home = HomeFolder();
        if (home.empty()) {
            return {};
        }
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/vrt58-dsp-updater/ports";
}

std::vector<std::string> SerialPortsPresent(const std::string& devRoot, const std::string& sysRoot)
{
    std::vector<std::string> ports;
    for (const std::string_view family : {"ttyACM", "ttyUSB"}) {
        for (const DeviceName& node : NodesOfFamily(devRoot, family)) {
            ports.push_back((fs::path(devRoot) / node.name).string());
        }
    }

    // Other drivers (on-chip UARTs, Bluetooth, ...): only those with a
    // device behind them, which leaves out consoles and virtual terminals.
    std::vector<DeviceName> others;
    std::error_code error;
    const fs::path classTty = fs::path(sysRoot) / "class" / "tty";
    for (fs::directory_iterator it(classTty, error), end; !error && it != end; it.increment(error)) {
        DeviceName name = SplitName(it->path().filename().string());
        if (IsNumbered(name, "ttyS") || IsNumbered(name, "ttyACM") || IsNumbered(name, "ttyUSB")) {
            continue;
        }
        if (Exists(it->path() / "device") && Exists(DevNodeOf(devRoot, name.name))) {
            others.push_back(std::move(name));
        }
    }
    std::sort(others.begin(), others.end());
    for (const DeviceName& other : others) {
        ports.push_back(DevNodeOf(devRoot, other.name).string());
    }

    for (const DeviceName& node : NodesOfFamily(devRoot, "ttyS")) {
        if (LegacyPortIsReal(sysRoot, node.name)) {
            ports.push_back((fs::path(devRoot) / node.name).string());
        }
    }
    return ports;
}

std::optional<std::string> PinnedDevice(int n, const std::string& portMapFolder)
{
    if (portMapFolder.empty()) {
        return std::nullopt;
    }
    const std::string link = portMapFolder + "/com" + std::to_string(n);
    struct stat entry {};
    if (lstat(link.c_str(), &entry) != 0) {
        return std::nullopt;
    }
    // A pinned number means this device or none: a dangling link must not
    // quietly reach some other port.
    return stat(link.c_str(), &entry) == 0 ? link : std::string();
}

std::string DeviceForComNumber(int n, const std::string& portMapFolder, const std::string& devRoot,
                               const std::string& sysRoot)
{
    if (n < 1 || n > kHighestComNumber) {
        return {};
    }
    if (const std::optional<std::string> pinned = PinnedDevice(n, portMapFolder)) {
        return *pinned;
    }
    const std::vector<std::string> ports = SerialPortsPresent(devRoot, sysRoot);
    return static_cast<std::size_t>(n) <= ports.size() ? ports[static_cast<std::size_t>(n) - 1] : std::string();
}

std::string DeviceForComNumber(int n)
{
    return DeviceForComNumber(n, PortMapFolder(), "/dev", "/sys");
}

}  // namespace platform::posix
