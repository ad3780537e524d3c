#include "Win32CommPorts.h"

#include "Win32Api.h"

namespace platform::win32 {

namespace {

// Placeholder until the comm device lands: every port is missing.
class SystemCommPorts final : public CommPorts {
public:
    std::unique_ptr<CommDevice> Open(const std::string&, std::uint32_t& error) override
    {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
};

}  // namespace

CommPorts& SystemPorts()
{
    static SystemCommPorts ports;
    return ports;
}

}  // namespace platform::win32
