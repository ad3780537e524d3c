#include "CPacket.h"

#include "Protocol.h"

#include <cstring>

CPacket::CPacket(PacketType type) : m_nType(type) {}

bool CPacket::IsValid() const
{
    const bool folderOk = m_nFolder >= 0 && m_nFolder <= 10;
    switch (m_nType) {
    case PACKET_ACK:
    case PACKET_NAK:
    case PACKET_ENQ:
    case PACKET_VERSION:
        return true;
    case PACKET_DATA:
        // Bounded so that the wire length can neither underflow the frame
        // nor overflow: a payload fits a folder at most.
        return m_nCount >= 0 && m_nCount <= FOLDER_SIZE;
    case PACKET_READ:
        // A negative address fails the unsigned comparison.
        return folderOk && static_cast<std::uint32_t>(m_nAddress) < static_cast<std::uint32_t>(FOLDER_SIZE) &&
               m_nCount >= 1 && m_nCount <= FOLDER_SIZE - m_nAddress;
    case PACKET_WRITE:
        return folderOk && m_nCount >= 1 &&
               static_cast<std::uint32_t>(m_nCount) <= static_cast<std::uint32_t>(FOLDER_SIZE);
    case PACKET_ERASE:
        return folderOk;
    default:
        return false;
    }
}

std::int32_t CPacket::RequestLength() const
{
    if (!IsValid()) {
        return 0;
    }
    switch (m_nType) {
    case PACKET_ACK:
    case PACKET_NAK:
    case PACKET_ENQ:
    case PACKET_VERSION:
        return 1;
    case PACKET_READ:
        return 9;
    case PACKET_WRITE:
        return 7;
    case PACKET_DATA:
        return m_nCount + 3;
    case PACKET_ERASE:
        return 5;
    default:
        return 0;
    }
}

std::int32_t CPacket::ReplyLength() const
{
    if (!IsValid()) {
        return 0;
    }
    switch (m_nType) {
    case PACKET_ENQ:
    case PACKET_WRITE:
    case PACKET_DATA:
    case PACKET_ERASE:
        return 1;
    case PACKET_VERSION:
        return 5;
    case PACKET_READ:
        return m_nCount + 3;
    default:
        return 0;
    }
}

std::unique_ptr<std::uint8_t[]> CPacket::Encode() const
{
    const std::int32_t length = RequestLength();
    if (length <= 0) {
        return nullptr;
    }
    auto out = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(length));
    std::uint8_t* p = out.get();
    auto frameEnd = [&](std::uint8_t* body, std::uint8_t* end) {
        *end = ETX;
        end[1] = FrameChecksum({body, static_cast<std::size_t>(end - body + 1)});
    };
    switch (m_nType) {
    case PACKET_ACK: p[0] = ACK; break;
    case PACKET_NAK: p[0] = NAK; break;
    case PACKET_ENQ: p[0] = ENQ; break;
    case PACKET_VERSION: p[0] = 0x56; break;
    case PACKET_READ:
        p[0] = STX;
        p[1] = 0x52;
        p[2] = static_cast<std::uint8_t>(0x30 + m_nFolder);
        p[3] = static_cast<std::uint8_t>(m_nAddress >> 8);
        p[4] = static_cast<std::uint8_t>(m_nAddress & 0xFF);
        p[5] = static_cast<std::uint8_t>(m_nCount >> 8);
        p[6] = static_cast<std::uint8_t>(m_nCount & 0xFF);
        frameEnd(p + 1, p + 7);
        break;
    case PACKET_WRITE:
        p[0] = STX;
        p[1] = 0x57;
        p[2] = static_cast<std::uint8_t>(0x30 + m_nFolder);
        p[3] = static_cast<std::uint8_t>(m_nCount >> 8);
        p[4] = static_cast<std::uint8_t>(m_nCount & 0xFF);
        frameEnd(p + 1, p + 5);
        break;
    case PACKET_DATA:
        p[0] = STX;
        if (m_nCount > 0 && m_pData) {
            std::memcpy(p + 1, m_pData.get(), static_cast<std::size_t>(m_nCount));
        }
        frameEnd(p + 1, p + 1 + m_nCount);
        break;
    case PACKET_ERASE:
        p[0] = STX;
        p[1] = 0x45;
        p[2] = static_cast<std::uint8_t>(0x30 + m_nFolder);
        frameEnd(p + 1, p + 3);
        break;
    default:
        return nullptr;
    }
    return out;
}
