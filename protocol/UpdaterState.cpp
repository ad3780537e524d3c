#include "UpdaterState.h"

CUpdaterState::~CUpdaterState()
{
    ClearPacketQueue();
}

void CUpdaterState::ClearPacketQueue()
{
    while (!m_packets.empty()) {
        std::unique_ptr<CPacket> head = std::move(m_packets.front());
        m_packets.pop_front();
        // `head` deletes the packet, if the entry held one.
    }
}
