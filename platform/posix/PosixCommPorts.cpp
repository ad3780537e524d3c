#include "PosixCommPorts.h"
// (being written)
namespace platform::posix {
namespace {
class NoPorts final : public CommPorts {
public:
    std::unique_ptr<CommDevice> Open(const std::string&, std::uint32_t& error) override
    {
        error = 2;
        return nullptr;
    }
};
}  // namespace
CommPorts& SystemPorts()
{
    static NoPorts ports;
    return ports;
}
}  // namespace platform::posix
