#include "platform/posix/PosixCommDevice.h"
#include "platform/posix/PosixCommPorts.h"
#include "support/PtyPort.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <numeric>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::CommDevice;
using platform::IoStart;
using platform::LineSettings;
using platform::Overlapped;
using platform::WaitResult;
using testing_support::PtyPort;
using SteadyClock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed = 1)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return bytes;
}

long long MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// The settings the product applies, with odd values in the fields the
// device cannot honour so a round trip shows they are kept.
LineSettings ProductSettings()
{
    LineSettings s;
    s.BaudRate = 19200;
    s.fBinary = 1;
    s.fDtrControl = platform::DTR_CONTROL_ENABLE;
    s.fTXContinueOnXoff = 1;
    s.fRtsControl = platform::RTS_CONTROL_DISABLE;
    s.fDummy2 = 0x1ABCD;
    s.ByteSize = 8;
    s.Parity = platform::NOPARITY;
    s.StopBits = platform::ONESTOPBIT;
    s.XoffChar = 1;
    s.EvtChar = 'x';
    s.wReserved1 = 0x5A5A;
    return s;
}

class PosixCommDeviceTest : public ::testing::Test {
protected:
    std::unique_ptr<CommDevice> OpenPort(std::uint32_t* error = nullptr)
    {
        std::uint32_t code = 0;
        auto device = platform::posix::SystemPorts().Open(m_pty.ComPath(), code);
        if (error != nullptr) {
            *error = code;
        }
        return device;
    }

    // Opened, configured as the product does, with its event.
    std::unique_ptr<CommDevice> OpenConfigured()
    {
        auto device = OpenPort();
        if (device == nullptr || !device->SetState(ProductSettings()) || !device->CreateEvent()) {
            ADD_FAILURE() << "port not ready";
            return nullptr;
        }
        return device;
    }

    // The input queue as the device reports it, once it reached `count`
    // (a pseudo-terminal delivers asynchronously).
    static std::uint32_t QueueReaches(CommDevice& device, std::uint32_t count)
    {
        std::uint32_t errors = 0;
        std::uint32_t queued = 0;
        const auto start = SteadyClock::now();
        while (device.ClearError(errors, queued) && queued < count && MsSince(start) < 1000) {
            std::this_thread::sleep_for(1ms);
        }
        return queued;
    }

    PtyPort m_pty;
    Overlapped m_overlapped;
};

// What decides where a build with the placeholder image may send it: the
// device behind the descriptor, not the name it was opened by.
TEST_F(PosixCommDeviceTest, APseudoTerminalIsTheSimulatorOtherDevicesAreNot)
{
    auto device = OpenPort();
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->IsSimulator());  // reached through the link com<n>

    for (const char* path : {"/dev/null", "/dev/tty0", "/dev/ttyS0"}) {
        const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            continue;  // not on this machine, or not ours to open
        }
        EXPECT_FALSE(platform::posix::IsPseudoTerminalSlave(fd)) << path;
        close(fd);
    }
    EXPECT_FALSE(platform::posix::IsPseudoTerminalSlave(-1));
}

TEST_F(PosixCommDeviceTest, SettingsRoundTripAndTheTerminalIsRaw)
{
    // Opened first: once the port is held only root could open it.
    const int observer = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(observer, 0);
    auto device = OpenPort();
    ASSERT_NE(device, nullptr);
    LineSettings initial;
    ASSERT_TRUE(device->GetState(initial));
    EXPECT_EQ(initial.ByteSize, 8);  // a fresh pseudo-terminal is 38400 8N1
    EXPECT_EQ(initial.BaudRate, 38400u);

    ASSERT_TRUE(device->SetState(ProductSettings()));
    LineSettings read;
    ASSERT_TRUE(device->GetState(read));
    EXPECT_EQ(read, ProductSettings());

    termios t{};
    ASSERT_EQ(tcgetattr(observer, &t), 0);
    EXPECT_EQ(t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), CS8 | CLOCAL | CREAD);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(cfgetispeed(&t), B19200);

    struct Frame {
        std::uint32_t baud;
        std::uint8_t stop;
        std::uint32_t checkParity;
        tcflag_t cflag;
    };
    for (const Frame f : {Frame{4800, platform::TWOSTOPBITS, 1, CS8 | CSTOPB},
                          Frame{115200, platform::ONESTOPBIT, 0, CS8}}) {
        LineSettings s = ProductSettings();
        s.BaudRate = f.baud;
        s.StopBits = f.stop;
        s.fParity = f.checkParity;
        ASSERT_TRUE(device->SetState(s)) << f.baud;
        ASSERT_TRUE(device->GetState(read));
        EXPECT_EQ(read, s) << f.baud;
        ASSERT_EQ(tcgetattr(observer, &t), 0);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), f.cflag) << f.baud;
        EXPECT_EQ((t.c_iflag & INPCK) != 0, f.checkParity != 0) << f.baud;
        EXPECT_EQ(cfgetospeed(&t), f.baud == 4800 ? B4800 : B115200);
    }
    ASSERT_TRUE(device->SetState(ProductSettings()));

    // What the device cannot do is refused and changes nothing; a
    // pseudo-terminal takes neither parity nor fewer data bits.
    for (auto change : std::initializer_list<void (*)(LineSettings&)>{
             [](LineSettings& s) { s.BaudRate = 14400; }, [](LineSettings& s) { s.BaudRate = 0; },
             [](LineSettings& s) { s.ByteSize = 9; }, [](LineSettings& s) { s.Parity = 3; },
             [](LineSettings& s) { s.StopBits = 1; }, [](LineSettings& s) { s.fOutX = 1; },
             [](LineSettings& s) { s.fOutxCtsFlow = 1; },
             [](LineSettings& s) { s.BaudRate = 4800, s.Parity = platform::EVENPARITY; },
             [](LineSettings& s) { s.BaudRate = 4800, s.ByteSize = 7, s.StopBits = platform::TWOSTOPBITS; }}) {
        LineSettings s = ProductSettings();
        change(s);
        EXPECT_FALSE(device->SetState(s));
        EXPECT_EQ(device->LastError(), static_cast<std::uint32_t>(EINVAL));
        ASSERT_TRUE(device->GetState(read));
        EXPECT_EQ(read, ProductSettings());
    }
    ASSERT_EQ(tcgetattr(observer, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), CS8);
    close(observer);
}

TEST_F(PosixCommDeviceTest, EveryByteValuePassesUntouchedBothWays)
{
    auto device = OpenConfigured();
    ASSERT_NE(device, nullptr);
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);

    std::uint32_t done = 0;
    ASSERT_EQ(device->StartWrite(all.data(), 256, done, m_overlapped), IoStart::Completed);
    EXPECT_EQ(done, 256u);
    EXPECT_EQ(m_pty.ReadMaster(512, 300ms), all);  // no echo, no CR/LF mapping, no extra bytes

    ASSERT_EQ(m_pty.WriteMaster(all), 256u);
    ASSERT_EQ(QueueReaches(*device, 256), 256u);  // XON/XOFF, ^C, ^D all arrive
    std::vector<std::uint8_t> in(256);
    ASSERT_EQ(device->StartRead(in.data(), 256, done, m_overlapped), IoStart::Completed);
    EXPECT_EQ(done, 256u);
    EXPECT_EQ(in, all);
    EXPECT_TRUE(m_pty.ReadMaster(1, 50ms).empty());  // nothing was echoed
}

TEST_F(PosixCommDeviceTest, ExclusiveUse)
{
    std::uint32_t error = 0;
    auto holder = OpenPort(&error);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(error, 0u);

    // A second open of the same port, by us (as root this is the lock's work).
    EXPECT_EQ(OpenPort(&error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(EBUSY));

    if (geteuid() == 0) {
        // A user without privileges is kept out by the terminal itself even
        // when taking no lock, and the refused open above has not cleared
        // the holder's flag.
        ASSERT_EQ(chown(m_pty.SlavePath().c_str(), 65534, 65534), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(5);
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
                _exit(77);
            }
            // A plain open, as a program that takes no lock would do it.
            const int fd = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            _exit(fd >= 0 ? 1 : errno == EBUSY ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77) {
            GTEST_LOG_(INFO) << "cannot become an unprivileged user here; that check is skipped";
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened despite TIOCEXCL, 2: other error";
        }
    }

    holder.reset();
    auto again = OpenPort(&error);
    ASSERT_NE(again, nullptr) << "closing released the port, error " << error;
    again.reset();
    const int probe = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(probe, 0);
    int exclusive = -1;
    ASSERT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the exclusive flag outlived the device";
    close(probe);
}

TEST_F(PosixCommDeviceTest, OtherProgramsHoldingThePortKeepIt)
{
    // One that only locks, one that only sets TIOCEXCL (root gets past that).
    for (const bool byLock : {true, false}) {
        const int other = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(other, 0);
        ASSERT_EQ(byLock ? flock(other, LOCK_EX | LOCK_NB) : ioctl(other, TIOCEXCL), 0);
        std::uint32_t error = 0;
        EXPECT_EQ(OpenPort(&error), nullptr) << byLock;
        EXPECT_EQ(error, static_cast<std::uint32_t>(EBUSY)) << byLock;
        int exclusive = -1;
        ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, byLock ? 0 : 1) << "the refused open touched the other program's flag";
        ioctl(other, TIOCNXCL);
        close(other);
    }
}

TEST_F(PosixCommDeviceTest, ReadCompletesAtOnceOrPendsUntilTheBytesArrive)
{
    auto device = OpenConfigured();
    ASSERT_NE(device, nullptr);
    std::array<std::uint8_t, 8> buffer{};
    std::uint32_t done = 99;

    const auto first = Pattern(4, 7);
    m_pty.WriteMaster(first);
    ASSERT_EQ(QueueReaches(*device, 4), 4u);
    ASSERT_EQ(device->StartRead(buffer.data(), 4, done, m_overlapped), IoStart::Completed);
    EXPECT_EQ(done, 4u);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer.begin()));

    const auto later = Pattern(8, 9);
    ASSERT_EQ(device->StartRead(buffer.data(), 8, done, m_overlapped), IoStart::Pending);
    EXPECT_EQ(device->LastError(), platform::ERROR_IO_PENDING);
    std::uint32_t result = 0;
    EXPECT_FALSE(device->GetResult(result));  // not complete yet
    std::thread far([&] {
        std::this_thread::sleep_for(30ms);
        m_pty.WriteMaster(std::span(later).first(3));
        std::this_thread::sleep_for(30ms);
        m_pty.WriteMaster(std::span(later).subspan(3));
    });
    const auto start = SteadyClock::now();
    const WaitResult waited = device->Wait(3000);
    const auto elapsed = MsSince(start);
    far.join();
    ASSERT_EQ(waited, WaitResult::Signalled);
    EXPECT_GE(elapsed, 50);
    EXPECT_LT(elapsed, 1000);
    ASSERT_TRUE(device->GetResult(result));
    EXPECT_EQ(result, 8u);
    EXPECT_TRUE(std::equal(later.begin(), later.end(), buffer.begin()));

    // The event stays signalled until reset, like a manual-reset event.
    EXPECT_EQ(device->Wait(0), WaitResult::Signalled);
    device->ResetEvent();
    EXPECT_EQ(device->Wait(20), WaitResult::TimedOut);
    device->CloseEvent();
    EXPECT_EQ(device->Wait(20), WaitResult::Failed);
}

TEST_F(PosixCommDeviceTest, ReadThatTimesOutIsEndedAndLeavesTheBufferAlone)
{
    auto device = OpenConfigured();
    ASSERT_NE(device, nullptr);
    std::array<std::uint8_t, 10> buffer;
    buffer.fill(0xEE);
    m_pty.WriteMaster(Pattern(3, 1));
    ASSERT_EQ(QueueReaches(*device, 3), 3u);

    std::uint32_t done = 0;
    ASSERT_EQ(device->StartRead(buffer.data(), 10, done, m_overlapped), IoStart::Pending);
    const auto start = SteadyClock::now();
    EXPECT_EQ(device->Wait(80), WaitResult::TimedOut);
    const auto elapsed = MsSince(start);
    EXPECT_GE(elapsed, 80);
    EXPECT_LT(elapsed, 1000);
    device->EndTransfer();
    std::uint32_t result = 0;
    EXPECT_FALSE(device->GetResult(result));

    const auto after = Pattern(7, 2);
    m_pty.WriteMaster(after);
    ASSERT_EQ(QueueReaches(*device, 7), 7u);
    EXPECT_EQ(device->Wait(30), WaitResult::TimedOut);  // nothing left to continue
    EXPECT_EQ(QueueReaches(*device, 7), 7u);            // still queued, not taken by the ended read
    for (std::size_t i = 3; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << i;
    }
    std::array<std::uint8_t, 7> next{};
    ASSERT_EQ(device->StartRead(next.data(), 7, done, m_overlapped), IoStart::Completed);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), next.begin()));
}

TEST_F(PosixCommDeviceTest, LargeWriteFinishesAgainstASlowReaderAndTimesOutAgainstNone)
{
    auto device = OpenConfigured();
    ASSERT_NE(device, nullptr);
    const auto data = Pattern(20 * 1024, 3);

    std::uint32_t done = 0;
    ASSERT_EQ(device->StartWrite(data.data(), static_cast<std::uint32_t>(data.size()), done, m_overlapped),
              IoStart::Pending)
        << "the terminal took 20 KiB at once";
    std::vector<std::uint8_t> received;
    std::thread far([&] {
        const auto start = SteadyClock::now();
        while (received.size() < data.size() && MsSince(start) < 5000) {
            const auto piece = m_pty.ReadMaster(1024, 20ms);
            received.insert(received.end(), piece.begin(), piece.end());
            std::this_thread::sleep_for(5ms);
        }
    });
    const WaitResult waited = device->Wait(5000);
    far.join();
    ASSERT_EQ(waited, WaitResult::Signalled);
    std::uint32_t result = 0;
    ASSERT_TRUE(device->GetResult(result));
    EXPECT_EQ(result, data.size());
    EXPECT_EQ(received, data);

    ASSERT_EQ(device->StartWrite(data.data(), static_cast<std::uint32_t>(data.size()), done, m_overlapped),
              IoStart::Pending);
    const auto start = SteadyClock::now();
    EXPECT_EQ(device->Wait(100), WaitResult::TimedOut);
    EXPECT_LT(MsSince(start), 1000);
    device->EndTransfer();
    EXPECT_FALSE(device->GetResult(result));
}

TEST_F(PosixCommDeviceTest, HangUpFailsPendingTransfersAndLaterCalls)
{
    for (const bool reading : {true, false}) {
        PtyPort pty(8);
        std::uint32_t error = 0;
        auto device = platform::posix::SystemPorts().Open(pty.ComPath(), error);
        ASSERT_NE(device, nullptr);
        ASSERT_TRUE(device->SetState(ProductSettings()));
        ASSERT_TRUE(device->CreateEvent());

        std::vector<std::uint8_t> buffer(20 * 1024);
        std::uint32_t done = 0;
        const IoStart started = reading
                                    ? device->StartRead(buffer.data(), 4, done, m_overlapped)
                                    : device->StartWrite(buffer.data(), static_cast<std::uint32_t>(buffer.size()), done,
                                                         m_overlapped);
        ASSERT_EQ(started, IoStart::Pending) << reading;
        std::thread far([&] {
            std::this_thread::sleep_for(30ms);
            pty.CloseMaster();
        });
        const auto start = SteadyClock::now();
        const WaitResult waited = device->Wait(3000);
        const auto elapsed = MsSince(start);
        far.join();
        EXPECT_EQ(waited, WaitResult::Failed) << reading;
        EXPECT_EQ(device->LastError(), static_cast<std::uint32_t>(EIO)) << reading;
        EXPECT_LT(elapsed, 1000) << reading;

        std::uint32_t errors = 7;
        std::uint32_t queued = 7;
        EXPECT_FALSE(device->ClearError(errors, queued));
        EXPECT_EQ(errors, 0u);
        EXPECT_EQ(queued, 0u);
        EXPECT_EQ(device->StartWrite(buffer.data(), 1, done, m_overlapped), IoStart::Failed);
        EXPECT_EQ(device->StartRead(buffer.data(), 1, done, m_overlapped), IoStart::Failed);
        EXPECT_EQ(device->LastError(), static_cast<std::uint32_t>(EIO));
        LineSettings s;
        EXPECT_FALSE(device->GetState(s));
    }
}

TEST_F(PosixCommDeviceTest, PortWithoutDeviceIsNotFound)
{
    std::filesystem::create_symlink("/dev/vrt58-no-such-device", m_pty.PortMapFolder() + "/com9");
    for (const char* path : {R"(\\.\COM9)", R"(\\.\COM256)", R"(\\.\COM0)", "/dev/ttyS0", R"(\\.\COM7x)"}) {
        std::uint32_t error = 0;
        EXPECT_EQ(platform::posix::SystemPorts().Open(path, error), nullptr) << path;
        EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT)) << path;
    }
}

}  // namespace
