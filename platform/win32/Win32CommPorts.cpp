#include "Win32CommPorts.h"

#include "Win32CommDevice.h"

namespace platform::win32 {

namespace {

// "\\.\COM<n>" is the device's own name in the system's device namespace:
// it is opened as it stands.
class SystemCommPorts final : public CommPorts {
public:
    std::unique_ptr<CommDevice> Open(const std::string& path, std::uint32_t& error) override
    {
        return Win32CommDevice::Open(path, error);
    }
};

}  // namespace

CommPorts& SystemPorts()
{
    static SystemCommPorts ports;
    return ports;
}

}  // namespace platform::win32
