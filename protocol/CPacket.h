#pragma once

#include <cstdint>
#include <memory>

enum PacketType : std::int32_t {
    PACKET_ACK = 0,
    PACKET_NAK = 1,
    PACKET_ENQ = 2,
    PACKET_VERSION = 3,
    PACKET_READ = 4,
    PACKET_WRITE = 5,
    PACKET_DATA = 6,
    PACKET_ERASE = 7,
    PACKET_REPLY = 8,
};

// One request of the scanner's protocol. Fields a kind does not use keep
// their defaults; an invalid packet has no wire form.
class CPacket {
public:
    explicit CPacket(PacketType type);

    // Bytes of the request's wire form; 0 when invalid or without one.
    std::int32_t RequestLength() const;
    // Expected reply length: the reply frame for VERSION and READ, the single
    // acknowledgement byte for ENQ, WRITE, DATA and ERASE, 0 otherwise.
    std::int32_t ReplyLength() const;
    // The wire form in a new buffer of RequestLength() bytes, or null.
    std::unique_ptr<std::uint8_t[]> Encode() const;

    PacketType m_nType;
    std::int32_t m_nFolder = -1;
    std::int32_t m_nAddress = -1;
    std::int32_t m_nCount = -1;
    std::unique_ptr<std::uint8_t[]> m_pData;  // DATA payload, m_nCount bytes
    std::int32_t m_nRetries = 0;
    std::int32_t m_nRetryLimit = 3;

private:
    bool IsValid() const;
};

// A folder holds the addresses 0 to 32703.
inline constexpr std::int32_t FOLDER_SIZE = 32704;
