#pragma once

#include "ComPorts.h"

#include "platform/CommDevice.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The port that --port names. The dialog opens COM<comNumber> by the
// product's device path "\\.\COM<n>" and names that number in its
// messages; a device path given instead is reached through that number.
struct PortChoice {
    int comNumber = 0;
    std::string devicePath;  // empty: COM<comNumber> as the dialog resolves it

    // "COM<n>" or "\\.\COM<n>" (n from 1 to 256, the letters in either
    // case), or a device path of this system; nothing for other text.
    static std::optional<PortChoice> Parse(const std::string& text);

    // Gives a device path the COM number its messages will name: the number
    // that opens the same device on this machine, else the lowest number
    // that opens nothing. Returns the line that tells the user so.
    std::string NumberDevicePath(const std::vector<ComPort>& ports);
};

// The machine's ports, where COM<n> of a choice with a device path opens
// that device, whatever COM<n> opens otherwise.
class ChosenPorts final : public platform::CommPorts {
public:
    ChosenPorts(platform::CommPorts& machine, const PortChoice& choice);

    std::unique_ptr<platform::CommDevice> Open(const std::string& path, std::uint32_t& error) override;

private:
    platform::CommPorts& m_machine;
    std::string m_comPath;  // "\\.\COM<n>" of the choice
    std::string m_devicePath;
};

}  // namespace cli
