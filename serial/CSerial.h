#pragma once

#include "platform/CommDevice.h"

#include <cstdint>
#include <memory>

// The product's only access to the serial line: one object opens one port
// for exclusive use with fixed line settings and offers blocking transfers,
// each bounded by the caller's wait limit. Construction throws int 1 when the
// port cannot be opened or configured; every other failure is reported as 0
// or false with a diagnostic line to SerialTrace.
class CSerial {
public:
    CSerial(const char* path, std::int32_t baud, std::int32_t parity, std::int32_t dataBits,
            std::int32_t stopBits, bool dtr, bool rts);
    virtual ~CSerial();

    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    bool Open(const char* path, std::int32_t baud, std::int32_t parity, std::int32_t dataBits,
              std::int32_t stopBits, bool dtr, bool rts);
    bool SetParams(std::int32_t baud, std::int32_t parity, std::int32_t dataBits, std::int32_t stopBits,
                   bool dtr, bool rts);
    bool Close();

    std::int32_t BytesWaiting();
    std::int32_t Read(std::uint8_t* buffer, std::int32_t count, std::uint32_t waitMs);
    std::int32_t Write(const std::uint8_t* buffer, std::int32_t count, std::uint32_t waitMs);
    bool ReadBack(const std::uint8_t* expected, std::int32_t length, std::int32_t verify, std::uint32_t waitMs);
    void PurgeInput();

    // Milliseconds one character occupies on the line at the current settings.
    double MsPerChar() const { return m_dMsPerChar; }
    bool IsOpen() const { return m_bOpen; }
    // Whether the open port leads to the scanner simulator (see
    // platform::CommDevice::IsSimulator); false when closed.
    bool IsSimulator() const { return m_bOpen && m_hPort && m_hPort->IsSimulator(); }

private:
    bool m_bOpen = false;
    double m_dMsPerChar = 1.0;
    std::unique_ptr<platform::CommDevice> m_hPort;
    platform::Overlapped m_overlapped;
};
