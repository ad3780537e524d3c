#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The line-settings record of a serial device, field for field as the
// original communications interface keeps it. A backend maps the fields it
// can honour onto its own device and keeps the others as read.
struct LineSettings {
    std::uint32_t DCBlength = sizeof(LineSettings);
    std::uint32_t BaudRate = 0;
    std::uint32_t fBinary = 0;
    std::uint32_t fParity = 0;
    std::uint32_t fOutxCtsFlow = 0;
    std::uint32_t fOutxDsrFlow = 0;
    std::uint32_t fDtrControl = 0;
    std::uint32_t fDsrSensitivity = 0;
    std::uint32_t fTXContinueOnXoff = 0;
    std::uint32_t fOutX = 0;
    std::uint32_t fInX = 0;
    std::uint32_t fErrorChar = 0;
    std::uint32_t fNull = 0;
    std::uint32_t fRtsControl = 0;
    std::uint32_t fAbortOnError = 0;
    std::uint32_t fDummy2 = 0;  // 17 spare flag bits
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const LineSettings&) const = default;
};

inline constexpr std::uint8_t NOPARITY = 0;
inline constexpr std::uint8_t ODDPARITY = 1;
inline constexpr std::uint8_t EVENPARITY = 2;
inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t TWOSTOPBITS = 2;
inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t DTR_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t RTS_CONTROL_ENABLE = 1;

// Device time-outs in milliseconds; all zero means the device never ends a
// transfer on its own.
struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const CommTimeouts&) const = default;
};

// The completion record shared by every transfer of one port.
struct Overlapped {
    std::uint32_t Offset = 0;
    std::uint32_t OffsetHigh = 0;
};

// How the start of a transfer went.
enum class IoStart {
    Completed,  // done at once; the count is reported
    Pending,    // under way; wait for the completion event
    Failed,     // refused; LastError() says why
};

// How a wait on the completion event went.
enum class WaitResult {
    Signalled,  // the transfer completed
    TimedOut,   // the limit passed first
    Failed,     // the wait itself failed
};

// Error code reported by a transfer that was started and is still pending.
inline constexpr std::uint32_t ERROR_IO_PENDING = 997;

// One open serial device: one operation for each call the serial port
// object makes of the operating system. Destroying the object closes the
// device. A transfer completes only when all requested bytes have moved
// (the port runs with all-zero time-outs); the caller's wait is its bound.
class CommDevice {
public:
    virtual ~CommDevice() = default;

    // The manual-reset completion event, created not signalled.
    virtual bool CreateEvent() = 0;
    virtual void CloseEvent() = 0;
    virtual void ResetEvent() = 0;

    virtual bool GetState(LineSettings& settings) = 0;
    virtual bool SetState(const LineSettings& settings) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;

    // Reports and clears the pending line errors (a mask) and reports the
    // count of bytes in the input queue.
    virtual bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue) = 0;

    // Start a transfer. On Completed, `done` holds the count moved. On
    // Pending the device keeps `buffer` until the transfer completes or
    // EndTransfer() is called.
    virtual IoStart StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                              Overlapped& overlapped) = 0;
    virtual IoStart StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                               Overlapped& overlapped) = 0;

    // Waits up to `ms` milliseconds for the pending transfer to complete.
    virtual WaitResult Wait(std::uint32_t ms) = 0;

    // The count of the completed transfer, without waiting.
    virtual bool GetResult(std::uint32_t& done) = 0;

    // Ends a pending transfer for good: after it returns the device no
    // longer touches the buffer the transfer was given, and bytes the
    // transfer had already taken are dropped.
    virtual void EndTransfer() = 0;

    // The error code of the last failed operation.
    virtual std::uint32_t LastError() const = 0;

    // Whether the far side is the scanner simulator rather than a serial
    // line that may lead to a real scanner: a build that carries no real
    // firmware sends its image only there. A device that cannot tell says
    // no.
    virtual bool IsSimulator() const { return false; }
};

// Opens devices by the product's device path ("\\.\COM<n>").
class CommPorts {
public:
    virtual ~CommPorts() = default;

    // Opens the device for exclusive use, or returns null with `error` set.
    virtual std::unique_ptr<CommDevice> Open(const std::string& path, std::uint32_t& error) = 0;
};

}  // namespace platform
