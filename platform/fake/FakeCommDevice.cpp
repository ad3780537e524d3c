#include "FakeCommDevice.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace platform::fake {

namespace {

LineSettings PowerOnSettings()
{
    // Values no caller would write, so a test sees which fields were kept.
    LineSettings s;
    s.BaudRate = 9600;
    s.fBinary = 1;
    s.fOutxCtsFlow = 1;
    s.fDtrControl = 2;
    s.fOutX = 1;
    s.fInX = 1;
    s.fRtsControl = 2;
    s.fAbortOnError = 1;
    s.fDummy2 = 0x15A5A;
    s.wReserved = 7;
    s.XonLim = 2048;
    s.XoffLim = 512;
    s.ByteSize = 7;
    s.Parity = EVENPARITY;
    s.StopBits = TWOSTOPBITS;
    s.XonChar = 0x11;
    s.XoffChar = 0x13;
    s.ErrorChar = '?';
    s.EofChar = 0x1A;
    s.EvtChar = '\n';
    s.wReserved1 = 0x5A5A;
    return s;
}

// The port number of "\\.\COM<n>", or 0.
int ComNumber(const std::string& path)
{
    static constexpr char prefix[] = "\\\\.\\COM";
    const std::size_t len = sizeof(prefix) - 1;
    if (path.size() <= len || path.size() > len + 3 || path.compare(0, len, prefix) != 0) {
        return 0;
    }
    int n = 0;
    for (std::size_t i = len; i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9') {
            return 0;
        }
        n = n * 10 + (path[i] - '0');
    }
    return n >= 1 && n <= 256 ? n : 0;
}

}  // namespace

// One open port on the in-memory line. Input is pulled from the peer only
// when the PC looks, so virtual time alone decides what has arrived.
class FakeCommDevice final : public CommDevice {
public:
    explicit FakeCommDevice(FakeCommPorts& ports) : m_ports(ports) {}

    ~FakeCommDevice() override
    {
        Call("Close");
        m_ports.m_record.closes++;
        m_ports.m_record.open = false;
        m_ports.m_peer.PortClosed(m_ports.m_clock.Now());
    }

    bool CreateEvent() override
    {
        Call("CreateEvent");
        if (m_eventExists) {
            m_ports.m_record.misuse++;
            return true;
        }
        m_eventExists = true;
        m_signalled = false;
        m_ports.m_record.eventsOpen++;
        return true;
    }

    void CloseEvent() override
    {
        Call("CloseEvent");
        if (!m_eventExists) {
            m_ports.m_record.misuse++;
            return;
        }
        m_eventExists = false;
        m_ports.m_record.eventsOpen--;
    }

    void ResetEvent() override
    {
        Call("ResetEvent");
        m_signalled = false;
    }

    bool GetState(LineSettings& settings) override
    {
        Call("GetState");
        if (Faults().getStateFails) {
            return Fail(Faults().errorCode);
        }
        settings = m_ports.m_deviceSettings;
        return true;
    }

    bool SetState(const LineSettings& settings) override
    {
        Call("SetState");
        if (Faults().setStateFails) {
            return Fail(Faults().errorCode);
        }
        m_ports.m_deviceSettings = settings;
        m_ports.m_record.settings = settings;
        return true;
    }

    bool SetTimeouts(const CommTimeouts& timeouts) override
    {
        Call("SetTimeouts");
        if (Faults().setTimeoutsFails) {
            return Fail(Faults().errorCode);
        }
        m_ports.m_record.timeouts = timeouts;
        return true;
    }

    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue) override
    {
        Call("ClearError");
        errors = 0;
        inQueue = 0;
        if (HungUp()) {
            return Fail(FAKE_ERROR_HUNG_UP);
        }
        if (Faults().clearErrorFails) {
            return Fail(Faults().errorCode);
        }
        Pull();
        errors = std::exchange(Faults().lineErrors, 0);
        inQueue = static_cast<std::uint32_t>(m_input.size());
        return true;
    }

    IoStart StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                      Overlapped& /*overlapped*/) override
    {
        Call("StartRead");
        m_ports.m_record.reads.push_back(count);
        done = 0;
        if (const auto refused = Refuse(Faults().readStartFails)) {
            return *refused;
        }
        Pull();
        m_signalled = false;  // a start resets the completion event
        m_transfer = Transfer{};
        m_transfer.read = true;
        m_transfer.buffer = buffer;
        m_transfer.count = count;
        TakeInput();
        if (m_transfer.done == count) {
            done = count;
            return Complete();
        }
        m_transfer.pending = true;
        m_lastError = ERROR_IO_PENDING;
        return IoStart::Pending;
    }

    IoStart StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                       Overlapped& /*overlapped*/) override
    {
        Call("StartWrite");
        done = 0;
        if (const auto refused = Refuse(Faults().writeStartFails)) {
            return *refused;
        }
        m_signalled = false;
        const std::uint64_t now = m_ports.m_clock.Now();
        const std::uint32_t accepted = std::min(count, Faults().writeAcceptLimit);
        const std::uint32_t taken = std::min(accepted, Faults().shortWriteLimit);
        if (taken > 0) {
            const std::span<const std::uint8_t> bytes(buffer, taken);
            m_ports.m_record.written.insert(m_ports.m_record.written.end(), bytes.begin(), bytes.end());
            m_ports.m_peer.FromPc(bytes, now);
        }
        m_transfer = Transfer{};
        m_transfer.count = count;
        m_transfer.done = taken;
        if (taken < accepted) {
            done = taken;  // a short write: complete, with fewer bytes than asked
            return Complete();
        }
        if (taken < count) {
            // With all-zero time-outs a write ends only when every byte is
            // taken: this one never will.
            m_transfer.pending = true;
            m_transfer.completeAt = UINT64_MAX;
        } else if (Faults().writesPend) {
            m_transfer.pending = true;
            m_transfer.completeAt = now + LineTimeMs(count);
        } else {
            done = count;
            return Complete();
        }
        m_lastError = ERROR_IO_PENDING;
        return IoStart::Pending;
    }

    WaitResult Wait(std::uint32_t ms) override
    {
        Call("Wait");
        if (Faults().waitFails) {
            m_lastError = Faults().errorCode;
            return WaitResult::Failed;
        }
        VirtualClock& clock = m_ports.m_clock;
        const std::uint64_t deadline = clock.Now() + ms;
        if (!m_transfer.pending) {
            if (m_signalled) {
                return WaitResult::Signalled;
            }
            m_ports.m_record.misuse++;
            clock.Advance(ms);
            return WaitResult::TimedOut;
        }
        if (!m_transfer.read) {
            if (m_transfer.completeAt <= deadline) {
                clock.Advance(m_transfer.completeAt - std::min(m_transfer.completeAt, clock.Now()));
                Complete();
                return WaitResult::Signalled;
            }
            clock.Advance(deadline - clock.Now());
            return WaitResult::TimedOut;
        }
        // A pending read: move time on to each arrival until the buffer is
        // full, the far side hangs up or the limit passes.
        for (;;) {
            if (HungUp()) {
                m_transfer.failed = true;
                Complete();
                return WaitResult::Signalled;
            }
            Pull();
            TakeInput();
            if (m_transfer.done == m_transfer.count) {
                Complete();
                return WaitResult::Signalled;
            }
            const std::uint64_t now = clock.Now();
            if (now >= deadline) {
                return WaitResult::TimedOut;
            }
            const std::uint64_t next = m_ports.m_peer.NextEvent(now);
            const std::uint64_t to = next <= now ? now + 1 : std::min(next, deadline);
            clock.Advance(to - now);
        }
    }

    bool GetResult(std::uint32_t& done) override
    {
        Call("GetResult");
        done = 0;
        if (Faults().resultFails) {
            return Fail(Faults().errorCode);
        }
        if (!m_transfer.completed) {
            m_ports.m_record.misuse++;
            return Fail(996);  // ERROR_IO_INCOMPLETE
        }
        if (m_transfer.failed) {
            return Fail(FAKE_ERROR_HUNG_UP);
        }
        done = m_transfer.done;
        return true;
    }

    void EndTransfer() override
    {
        Call("EndTransfer");
        // Bytes a read had already taken go with it, as on the real line.
        m_transfer = Transfer{};
    }

    std::uint32_t LastError() const override { return m_lastError; }

    bool IsSimulator() const override { return m_ports.m_simulator; }

private:
    struct Transfer {
        bool read = false;
        bool pending = false;
        bool completed = false;
        bool failed = false;
        std::uint8_t* buffer = nullptr;
        std::uint32_t count = 0;
        std::uint32_t done = 0;
        std::uint64_t completeAt = 0;  // writes
    };

    FakeFaults& Faults() { return m_ports.m_faults; }

    void Call(const char* name) { m_ports.m_record.calls.emplace_back(name); }

    bool Fail(std::uint32_t code)
    {
        m_lastError = code;
        return false;
    }

    bool HungUp() const { return m_ports.m_peer.HungUp(m_ports.m_clock.Now()); }

    // The reasons a transfer cannot start, if any.
    std::optional<IoStart> Refuse(bool knob)
    {
        if (m_transfer.pending) {
            m_ports.m_record.misuse++;
            m_lastError = 87;  // ERROR_INVALID_PARAMETER
            return IoStart::Failed;
        }
        if (HungUp()) {
            m_lastError = FAKE_ERROR_HUNG_UP;
            return IoStart::Failed;
        }
        if (knob) {
            m_lastError = Faults().errorCode;
            return IoStart::Failed;
        }
        return std::nullopt;
    }

    IoStart Complete()
    {
        m_transfer.pending = false;
        m_transfer.completed = true;
        m_signalled = true;
        return IoStart::Completed;
    }

    void Pull()
    {
        if (HungUp()) {
            return;
        }
        const auto bytes = m_ports.m_peer.ToPc(m_ports.m_clock.Now());
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    }

    void TakeInput()
    {
        const std::uint32_t n =
            std::min<std::uint32_t>(m_transfer.count - m_transfer.done, static_cast<std::uint32_t>(m_input.size()));
        std::copy_n(m_input.begin(), n, m_transfer.buffer + m_transfer.done);
        m_input.erase(m_input.begin(), m_input.begin() + n);
        m_transfer.done += n;
    }

    // Whole milliseconds the bytes occupy on the line at the device's settings.
    std::uint64_t LineTimeMs(std::uint32_t count) const
    {
        const LineSettings& s = m_ports.m_deviceSettings;
        const std::uint64_t baud = s.BaudRate != 0 ? s.BaudRate : 19200;
        const std::uint64_t bits = 1 + (s.ByteSize != 0 ? s.ByteSize : 8) + (s.StopBits == TWOSTOPBITS ? 2 : 1) +
                                   (s.Parity != NOPARITY ? 1 : 0);
        return (count * bits * 1000 + baud - 1) / baud;
    }

    FakeCommPorts& m_ports;
    std::deque<std::uint8_t> m_input;
    Transfer m_transfer;
    bool m_eventExists = false;
    bool m_signalled = false;
    std::uint32_t m_lastError = 0;
};

FakeCommPorts::FakeCommPorts(VirtualClock& clock, LinePeer& peer, int portNumber)
    : m_clock(clock), m_peer(peer), m_portNumber(portNumber), m_deviceSettings(PowerOnSettings())
{
}

std::unique_ptr<CommDevice> FakeCommPorts::Open(const std::string& path, std::uint32_t& error)
{
    m_paths.push_back(path);
    m_record.calls.emplace_back("Open");
    error = 0;
    if (m_faults.openFails || ComNumber(path) != m_portNumber) {
        error = FAKE_ERROR_NOT_FOUND;
        return nullptr;
    }
    if (m_held || m_record.open) {
        error = FAKE_ERROR_ACCESS_DENIED;
        return nullptr;
    }
    // What the far side sent while the port was closed never reached anyone.
    const std::uint64_t now = m_clock.Now();
    if (!m_peer.HungUp(now)) {
        m_peer.ToPc(now);
    }
    m_peer.PortOpened(now);
    m_record.opens++;
    m_record.open = true;
    return std::make_unique<FakeCommDevice>(*this);
}

}  // namespace platform::fake
