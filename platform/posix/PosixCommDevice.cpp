#include "PosixCommDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace platform::posix {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Line-error bits as the serial port object expects them.
constexpr std::uint32_t CE_RXOVER = 0x0001;
constexpr std::uint32_t CE_OVERRUN = 0x0002;
constexpr std::uint32_t CE_RXPARITY = 0x0004;
constexpr std::uint32_t CE_FRAME = 0x0008;
constexpr std::uint32_t CE_BREAK = 0x0010;

constexpr std::uint8_t MARKPARITY = 3;
constexpr std::uint8_t SPACEPARITY = 4;

struct BaudSpeed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudSpeed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedForBaud(std::uint32_t baud, speed_t& speed)
{
    for (const BaudSpeed& entry : kSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

std::uint32_t BaudForSpeed(speed_t speed)
{
    for (const BaudSpeed& entry : kSpeeds) {
        if (entry.speed == speed) {
            return entry.baud;
        }
    }
    return 0;
}

// Devices without modem lines or error counters (pseudo-terminals among
// them) refuse those requests this way; that is not a fault of the line.
bool NotSupported(int error)
{
    return error == ENOTTY || error == EINVAL;
}

// Asserts or drops one modem line.
int SetModemLine(int fd, int line, bool on)
{
    int bits = line;
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 || NotSupported(errno)) {
        return 0;
    }
    return errno;
}

}  // namespace

std::unique_ptr<PosixCommDevice> PosixCommDevice::Open(const std::string& devicePath, std::uint32_t& error)
{
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    auto refuse = [&](int code) {
        ::close(fd);  // also drops an flock taken here
        error = static_cast<std::uint32_t>(code);
        return nullptr;
    };
    if (!isatty(fd)) {
        return refuse(ENOTTY);
    }
    // The lock first: a refused open must leave the holder's TIOCEXCL alone.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    }
#ifdef TIOCGEXCL
    // Root gets past another program's TIOCEXCL; that program still owns
    // the line even if it takes no lock.
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return refuse(EBUSY);
    }
#endif
    if (ioctl(fd, TIOCEXCL) != 0) {
        return refuse(errno);
    }

    std::unique_ptr<PosixCommDevice> device(new PosixCommDevice(fd));
    std::uint32_t ignored = 0;
    device->ReadLineErrors(ignored);  // errors from before the open are not ours
    error = 0;
    return device;
}

PosixCommDevice::PosixCommDevice(int fd) : m_fd(fd) {}

bool IsPseudoTerminalSlave(int fd)
{
    // Linux numbers pseudo-terminal slaves 136-143 (Unix 98) and 3 (the
    // old BSD ones); a serial port or a USB adapter is never among them.
    constexpr unsigned UNIX98_PTY_SLAVE_FIRST = 136;
    constexpr unsigned UNIX98_PTY_SLAVE_LAST = 143;
    constexpr unsigned BSD_PTY_SLAVE = 3;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return false;
    }
    const unsigned deviceMajor = major(status.st_rdev);
    return (deviceMajor >= UNIX98_PTY_SLAVE_FIRST && deviceMajor <= UNIX98_PTY_SLAVE_LAST) ||
           deviceMajor == BSD_PTY_SLAVE;
}

bool PosixCommDevice::IsSimulator() const
{
    return IsPseudoTerminalSlave(m_fd);
}

PosixCommDevice::~PosixCommDevice()
{
    // The exclusive flag belongs to the terminal, not to this descriptor.
    ioctl(m_fd, TIOCNXCL);
    flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

bool PosixCommDevice::CreateEvent()
{
    m_eventOpen = true;
    m_signalled = false;
    return true;
}

void PosixCommDevice::CloseEvent()
{
    m_eventOpen = false;
    m_signalled = false;
}

void PosixCommDevice::ResetEvent()
{
    m_signalled = false;
}

bool PosixCommDevice::GetState(LineSettings& settings)
{
    termios attributes{};
    if (tcgetattr(m_fd, &attributes) != 0) {
        m_lastError = static_cast<std::uint32_t>(errno);
        return false;
    }
    LineSettings state = m_settings;
    state.BaudRate = BaudForSpeed(cfgetospeed(&attributes));
    switch (attributes.c_cflag & CSIZE) {
    case CS5: state.ByteSize = 5; break;
    case CS6: state.ByteSize = 6; break;
    case CS7: state.ByteSize = 7; break;
    default: state.ByteSize = 8; break;
    }
    const bool odd = (attributes.c_cflag & PARODD) != 0;
    if ((attributes.c_cflag & PARENB) == 0) {
        state.Parity = NOPARITY;
    } else if ((attributes.c_cflag & CMSPAR) != 0) {
        state.Parity = odd ? MARKPARITY : SPACEPARITY;
    } else {
        state.Parity = odd ? ODDPARITY : EVENPARITY;
    }
    state.StopBits = (attributes.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    state.fParity = (attributes.c_iflag & INPCK) != 0 ? 1 : 0;
    state.fOutX = (attributes.c_iflag & IXON) != 0 ? 1 : 0;
    state.fInX = (attributes.c_iflag & IXOFF) != 0 ? 1 : 0;
    state.fOutxCtsFlow = (attributes.c_cflag & CRTSCTS) != 0 ? 1 : 0;

    int lines = 0;
    if (ioctl(m_fd, TIOCMGET, &lines) == 0) {
        // Report the line as it is, but keep the control mode that was set
        // while it agrees.
        const bool dtr = (lines & TIOCM_DTR) != 0;
        const bool rts = (lines & TIOCM_RTS) != 0;
        if ((state.fDtrControl != DTR_CONTROL_DISABLE) != dtr) {
            state.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        }
        if ((state.fRtsControl != RTS_CONTROL_DISABLE) != rts) {
            state.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        }
    } else if (!NotSupported(errno)) {
        m_lastError = static_cast<std::uint32_t>(errno);
        return false;
    }
    settings = state;
    return true;
}

bool PosixCommDevice::SetState(const LineSettings& settings)
{
    auto refuse = [this](int code) {
        m_lastError = static_cast<std::uint32_t>(code);
        return false;
    };
    speed_t speed = B0;
    if (!SpeedForBaud(settings.BaudRate, speed)) {
        return refuse(EINVAL);
    }
    tcflag_t size = 0;
    switch (settings.ByteSize) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return refuse(EINVAL);
    }
    tcflag_t parity = 0;
    switch (settings.Parity) {
    case NOPARITY: break;
    case ODDPARITY: parity = PARENB | PARODD; break;
    case EVENPARITY: parity = PARENB; break;
    default: return refuse(EINVAL);
    }
    if (settings.StopBits != ONESTOPBIT && settings.StopBits != TWOSTOPBITS) {
        return refuse(EINVAL);
    }
    // No flow control of any kind is offered; asking for it is refused
    // rather than quietly ignored.
    if (settings.fOutxCtsFlow != 0 || settings.fOutxDsrFlow != 0 || settings.fOutX != 0 || settings.fInX != 0 ||
        settings.fDtrControl > DTR_CONTROL_ENABLE || settings.fRtsControl > RTS_CONTROL_ENABLE) {
        return refuse(EINVAL);
    }

    termios original{};
    if (tcgetattr(m_fd, &original) != 0) {
        return refuse(errno);
    }
    termios attributes = original;
    attributes.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                                                 ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
    if (settings.fParity != 0) {
        attributes.c_iflag |= INPCK;
    }
    attributes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    attributes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    attributes.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    attributes.c_cflag |= CLOCAL | CREAD | size | parity;
    if (settings.StopBits == TWOSTOPBITS) {
        attributes.c_cflag |= CSTOPB;
    }
    // Reads never block (the descriptor is nonblocking); VMIN=1 makes a
    // read of 0 bytes mean hang-up.
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
    if (cfsetispeed(&attributes, speed) != 0 || cfsetospeed(&attributes, speed) != 0) {
        return refuse(EINVAL);
    }
    if (tcsetattr(m_fd, TCSANOW, &attributes) != 0) {
        return refuse(errno);
    }
    // tcsetattr succeeds when any part was taken, and drivers adjust what
    // they cannot do (a pseudo-terminal is always 8 bits without parity):
    // check that all of it was taken, else put the old settings back.
    termios applied{};
    if (tcgetattr(m_fd, &applied) != 0) {
        return refuse(errno);
    }
    const tcflag_t frame = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    if ((applied.c_cflag & frame) != (attributes.c_cflag & frame) || cfgetospeed(&applied) != speed ||
        cfgetispeed(&applied) != speed) {
        tcsetattr(m_fd, TCSANOW, &original);
        return refuse(EINVAL);
    }

    if (const int error = SetModemLine(m_fd, TIOCM_DTR, settings.fDtrControl != DTR_CONTROL_DISABLE); error != 0) {
        return refuse(error);
    }
    if (const int error = SetModemLine(m_fd, TIOCM_RTS, settings.fRtsControl != RTS_CONTROL_DISABLE); error != 0) {
        return refuse(error);
    }
    m_settings = settings;
    return true;
}

bool PosixCommDevice::SetTimeouts(const CommTimeouts& timeouts)
{
    // Transfers here always run until all bytes have moved, as with all-zero
    // time-outs; the caller's wait is the only bound. Kept for Timeouts().
    m_timeouts = timeouts;
    return true;
}

bool PosixCommDevice::ReadLineErrors(std::uint32_t& errors)
{
    errors = 0;
    serial_icounter_struct counters{};
    if (ioctl(m_fd, TIOCGICOUNT, &counters) != 0) {
        return NotSupported(errno);
    }
    if (m_countersKnown) {
        if (counters.buf_overrun != m_bufferOverrun) {
            errors |= CE_RXOVER;
        }
        if (counters.overrun != m_overrun) {
            errors |= CE_OVERRUN;
        }
        if (counters.parity != m_parity) {
            errors |= CE_RXPARITY;
        }
        if (counters.frame != m_frame) {
            errors |= CE_FRAME;
        }
        if (counters.brk != m_break) {
            errors |= CE_BREAK;
        }
    }
    m_countersKnown = true;
    m_bufferOverrun = counters.buf_overrun;
    m_overrun = counters.overrun;
    m_parity = counters.parity;
    m_frame = counters.frame;
    m_break = counters.brk;
    return true;
}

bool PosixCommDevice::ClearError(std::uint32_t& errors, std::uint32_t& inQueue)
{
    errors = 0;
    inQueue = 0;
    std::uint32_t mask = 0;
    int queued = 0;
    if (!ReadLineErrors(mask) || ioctl(m_fd, FIONREAD, &queued) != 0) {
        m_lastError = static_cast<std::uint32_t>(errno);
        return false;
    }
    errors = mask;
    inQueue = queued > 0 ? static_cast<std::uint32_t>(queued) : 0;
    return true;
}

IoStart PosixCommDevice::StartRead(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                   Overlapped& /*overlapped*/)
{
    return Start(Transfer::Read, buffer, nullptr, count, done);
}

IoStart PosixCommDevice::StartWrite(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& done,
                                    Overlapped& /*overlapped*/)
{
    return Start(Transfer::Write, nullptr, buffer, count, done);
}

IoStart PosixCommDevice::Start(Transfer kind, std::uint8_t* readBuffer, const std::uint8_t* writeBuffer,
                               std::uint32_t count, std::uint32_t& done)
{
    // One transfer at a time: a transfer left pending is let go of here so
    // its buffer can never be touched again.
    EndTransfer();
    done = 0;
    m_signalled = false;
    m_transfer = kind;
    m_readBuffer = readBuffer;
    m_writeBuffer = writeBuffer;
    m_count = count;
    m_moved = 0;
    switch (Advance()) {
    case Progress::Done:
        Finish(true, 0);
        done = m_moved;
        return IoStart::Completed;
    case Progress::Failed:
        Finish(false, m_lastError);
        m_signalled = false;
        return IoStart::Failed;
    case Progress::Partial:
        break;
    }
    m_lastError = ERROR_IO_PENDING;
    return IoStart::Pending;
}

PosixCommDevice::Progress PosixCommDevice::Advance()
{
    while (m_moved < m_count) {
        const std::size_t left = m_count - m_moved;
        const ssize_t n = m_transfer == Transfer::Read ? ::read(m_fd, m_readBuffer + m_moved, left)
                                                       : ::write(m_fd, m_writeBuffer + m_moved, left);
        if (n > 0) {
            m_moved += static_cast<std::uint32_t>(n);
        } else if (n == 0) {
            if (m_transfer == Transfer::Read) {
                m_lastError = EIO;  // end of file on a terminal: the far side hung up
                return Progress::Failed;
            }
            return Progress::Partial;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return Progress::Partial;
        } else if (errno != EINTR) {
            m_lastError = static_cast<std::uint32_t>(errno);
            return Progress::Failed;
        }
    }
    return Progress::Done;
}

void PosixCommDevice::Finish(bool ok, std::uint32_t error)
{
    m_transfer = Transfer::None;
    m_readBuffer = nullptr;
    m_writeBuffer = nullptr;
    m_resultKnown = true;
    m_resultOk = ok;
    m_resultError = error;
    m_signalled = true;
}

WaitResult PosixCommDevice::Wait(std::uint32_t ms)
{
    if (!m_eventOpen) {
        m_lastError = EINVAL;
        return WaitResult::Failed;
    }
    if (m_signalled) {
        return WaitResult::Signalled;
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    if (m_transfer == Transfer::None) {
        // Nothing can signal the event: the whole limit passes.
        for (auto now = SteadyClock::now(); now < deadline; now = SteadyClock::now()) {
            std::this_thread::sleep_for(deadline - now);
        }
        return WaitResult::TimedOut;
    }

    const short ready = m_transfer == Transfer::Read ? POLLIN : POLLOUT;
    bool woken = false;
    for (;;) {
        const std::uint32_t before = m_moved;
        switch (Advance()) {
        case Progress::Done:
            Finish(true, 0);
            return WaitResult::Signalled;
        case Progress::Failed:
            Finish(false, m_lastError);
            return WaitResult::Failed;
        case Progress::Partial:
            break;
        }
        // Checked after a last attempt, so bytes the device took just
        // before the limit (a late POLLOUT) still count.
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            return WaitResult::TimedOut;
        }
        if (woken && m_moved == before) {
            // Woken without progress: do not spin on a device that keeps
            // reporting ready.
            std::this_thread::sleep_for(std::min<SteadyClock::duration>(std::chrono::milliseconds(1), deadline - now));
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        pollfd descriptor{m_fd, ready, 0};
        const int polled = poll(&descriptor, 1, static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
        if (polled < 0 && errno != EINTR) {
            m_lastError = static_cast<std::uint32_t>(errno);
            Finish(false, m_lastError);
            return WaitResult::Failed;
        }
        woken = polled > 0;
        if (polled > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // Take what is still there; a transfer it does not finish has
            // lost its line.
            const Progress last = Advance();
            if (last == Progress::Done) {
                Finish(true, 0);
                return WaitResult::Signalled;
            }
            if (last == Progress::Partial) {
                m_lastError = EIO;
            }
            Finish(false, m_lastError);
            return WaitResult::Failed;
        }
    }
}

bool PosixCommDevice::GetResult(std::uint32_t& done)
{
    done = 0;
    if (m_transfer != Transfer::None) {
        m_lastError = EINPROGRESS;
        return false;
    }
    if (!m_resultKnown) {
        m_lastError = EINVAL;
        return false;
    }
    if (!m_resultOk) {
        m_lastError = m_resultError;
        return false;
    }
    done = m_moved;
    return true;
}

void PosixCommDevice::EndTransfer()
{
    if (m_transfer == Transfer::None) {
        return;
    }
    m_transfer = Transfer::None;
    m_readBuffer = nullptr;
    m_writeBuffer = nullptr;
    m_moved = 0;
    m_resultKnown = true;
    m_resultOk = false;
    m_resultError = ECANCELED;
}

}  // namespace platform::posix
