#include "PortChoice.h"

#include <algorithm>
#include <charconv>

namespace cli {

namespace {

constexpr int HIGHEST_COM = 256;
constexpr std::string_view DEVICE_PREFIX = "\\\\.\\";

std::optional<int> ComNumber(std::string_view text)
{
    if (text.starts_with(DEVICE_PREFIX)) {
        text.remove_prefix(DEVICE_PREFIX.size());
    }
    if (text.size() < 4 || (text[0] != 'C' && text[0] != 'c') || (text[1] != 'O' && text[1] != 'o') ||
        (text[2] != 'M' && text[2] != 'm')) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(3);
    if (digits.size() > 3 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    int n = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (n < 1 || n > HIGHEST_COM) {
        return std::nullopt;
    }
    return n;
}

std::string ComPath(int n)
{
    return std::string(DEVICE_PREFIX) + "COM" + std::to_string(n);
}

}  // namespace

std::optional<PortChoice> PortChoice::Parse(const std::string& text)
{
    if (const std::optional<int> n = ComNumber(text)) {
        return PortChoice{*n, {}};
    }
    if (IsDevicePath(text)) {
        return PortChoice{0, text};
    }
    return std::nullopt;
}

std::string PortChoice::NumberDevicePath(const std::vector<ComPort>& ports)
{
    for (const ComPort& port : ports) {
        if (!port.device.empty() && SameDevice(port.device, devicePath)) {
            comNumber = port.number;
            return devicePath + " is COM" + std::to_string(comNumber) + " on this machine.";
        }
    }
    comNumber = 1;
    for (const ComPort& port : ports) {  // by number
        if (port.number == comNumber) {
            ++comNumber;
        }
    }
    if (comNumber > HIGHEST_COM) {
        comNumber = HIGHEST_COM;  // every number taken: the messages still need one
    }
    return devicePath + " is none of this machine's COM ports; the messages call it COM" +
           std::to_string(comNumber) + ".";
}

ChosenPorts::ChosenPorts(platform::CommPorts& machine, const PortChoice& choice)
    : m_machine(machine), m_comPath(ComPath(choice.comNumber)), m_devicePath(choice.devicePath)
{
}

std::unique_ptr<platform::CommDevice> ChosenPorts::Open(const std::string& path, std::uint32_t& error)
{
    if (!m_devicePath.empty() && path == m_comPath) {
        return OpenDevicePath(m_devicePath, error);
    }
    return m_machine.Open(path, error);
}

}  // namespace cli
