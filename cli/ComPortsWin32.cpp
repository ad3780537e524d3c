#include "ComPorts.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32CommDevice.h"

#include <algorithm>
#include <cctype>

namespace cli {

namespace {

constexpr int HIGHEST_COM = 256;

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text != 0; ++text) {
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return out;
}

std::string Upper(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

}  // namespace

std::vector<ComPort> ComPortsOfThisMachine()
{
    std::vector<ComPort> ports;
    for (int n = 1; n <= HIGHEST_COM; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        wchar_t target[1024] = {};
        if (QueryDosDeviceW(name.c_str(), target, static_cast<DWORD>(std::size(target))) != 0) {
            ports.push_back({n, "\\\\.\\COM" + std::to_string(n), "the system's device " + Narrow(target)});
        }
    }
    return ports;
}

std::string ComPortsNotes(const std::vector<ComPort>&)
{
    return "COM<n> opens the system's own device \\\\.\\COM<n>.\n";
}

bool IsDevicePath(const std::string& text)
{
    return text.starts_with("\\\\.\\") || text.starts_with("\\\\?\\");
}

std::string DevicePathExample()
{
    return "\\\\.\\COM3";
}

bool SameDevice(const std::string& a, const std::string& b)
{
    // Device names are not case-sensitive.
    return Upper(a) == Upper(b);
}

std::unique_ptr<platform::CommDevice> OpenDevicePath(const std::string& devicePath, std::uint32_t& error)
{
    return platform::win32::Win32CommDevice::Open(devicePath, error);
}

}  // namespace cli
