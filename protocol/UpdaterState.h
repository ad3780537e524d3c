#pragma once

#include "CPacket.h"

#include <cstdint>
#include <deque>
#include <memory>

// The state the main dialog's handlers share: the chosen port, the request
// queue (which owns its packets) and what the scanner said of its version.
// The main dialog is one of these; the transaction engine works on it.
class CUpdaterState {
public:
    CUpdaterState() = default;
    virtual ~CUpdaterState();
    CUpdaterState(const CUpdaterState&) = delete;
    CUpdaterState& operator=(const CUpdaterState&) = delete;

    // Removes every queued packet and deletes it.
    void ClearPacketQueue();

    std::int32_t m_nPort = 0;
    std::deque<std::unique_ptr<CPacket>> m_packets;
    std::int32_t m_nReplyByte1 = 0;
    std::int32_t m_nScannerVersion = 0;
    bool m_bFactory = false;
};
