#pragma once

#include "../CommDevice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform::posix {

// Whether `fd` is the slave side of a pseudo-terminal, told by the device
// itself (its major number), whatever name or link it was opened by.
bool IsPseudoTerminalSlave(int fd);

// A serial device driven with termios. Transfers are overlapped in the
// caller's sense without threads: a transfer moves what it can at once and
// the rest during Wait, which polls the device up to its limit. Error codes
// are errno values.
class PosixCommDevice final : public CommDevice {
public:
    // Opens `devicePath` for exclusive use: TIOCEXCL keeps other users out
    // (root ignores it) and an flock keeps out every program that honours
    // it, root included. Null with `error` set when the device is missing,
    // held, or not a terminal.
    static std::unique_ptr<PosixCommDevice> Open(const std::string& devicePath, std::uint32_t& error);

    ~PosixCommDevice() override;
    PosixCommDevice(const PosixCommDevice&) = delete;
    PosixCommDevice& operator=(const PosixCommDevice&) = delete;

    bool CreateEvent() override;
    void CloseEvent() override;
    void ResetEvent() override;

    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;

    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue) override;

    IoStart StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                      Overlapped& overlapped) override;
    IoStart StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                       Overlapped& overlapped) override;
    WaitResult Wait(std::uint32_t ms) override;
    bool GetResult(std::uint32_t& done) override;
    void EndTransfer() override;

    std::uint32_t LastError() const override { return m_lastError; }

    // A pseudo-terminal: the simulator always serves one, a scanner's cable
    // never is one.
    bool IsSimulator() const override;

    // The time-outs last set; the device always behaves as if all were zero.
    const CommTimeouts& Timeouts() const { return m_timeouts; }

private:
    explicit PosixCommDevice(int fd);

    enum class Transfer { None, Read, Write };
    enum class Progress { Done, Partial, Failed };

    IoStart Start(Transfer kind, std::uint8_t* readBuffer, const std::uint8_t* writeBuffer, std::uint32_t count,
                  std::uint32_t& done);
    // Moves what the device takes or gives without blocking.
    Progress Advance();
    void Finish(bool ok, std::uint32_t error);
    bool ReadLineErrors(std::uint32_t& errors);

    int m_fd;
    std::uint32_t m_lastError = 0;
    LineSettings m_settings;
    CommTimeouts m_timeouts;

    bool m_eventOpen = false;
    bool m_signalled = false;

    // The transfer under way; its buffer is held only while it is pending.
    Transfer m_transfer = Transfer::None;
    std::uint8_t* m_readBuffer = nullptr;
    const std::uint8_t* m_writeBuffer = nullptr;
    std::uint32_t m_count = 0;
    std::uint32_t m_moved = 0;
    // Outcome of the last transfer that ended: moved count and error.
    bool m_resultKnown = false;
    bool m_resultOk = false;
    std::uint32_t m_resultError = 0;

    // Line-error counters as last reported, where the driver keeps them.
    bool m_countersKnown = false;
    int m_overrun = 0, m_bufferOverrun = 0, m_parity = 0, m_frame = 0, m_break = 0;
};

}  // namespace platform::posix
