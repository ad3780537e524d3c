#include "FakeCommDevice.h"
// (being written)
namespace platform::fake {
FakeCommPorts::FakeCommPorts(VirtualClock& clock, LinePeer& peer, int portNumber)
    : m_clock(clock), m_peer(peer), m_portNumber(portNumber) {}
std::unique_ptr<CommDevice> FakeCommPorts::Open(const std::string& path, std::uint32_t& error)
{
    m_paths.push_back(path);
    error = 2;
    return nullptr;
}
}  // namespace platform::fake
