#include "PosixCommPorts.h"

#include "PortNames.h"
#include "PosixCommDevice.h"

#include <cerrno>

namespace platform::posix {

namespace {

class SystemCommPorts final : public CommPorts {
public:
    std::unique_ptr<CommDevice> Open(const std::string& path, std::uint32_t& error) override
    {
        const std::optional<int> number = ComNumberFromPath(path);
        const std::string device = number ? DeviceForComNumber(*number) : std::string();
        if (device.empty()) {
            error = ENOENT;
            return nullptr;
        }
        return PosixCommDevice::Open(device, error);
    }
};

}  // namespace

CommPorts& SystemPorts()
{
    static SystemCommPorts ports;
    return ports;
}

}  // namespace platform::posix
