// The serial port object on a real pseudo-terminal, in real time: the test
// plays the cable and the scanner on the master side.
#include "platform/Clock.h"
#include "serial/CSerial.h"
#include "serial/SerialTrace.h"
#include "support/PtyPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using testing_support::PtyPort;
using testing_support::PtyResponder;
using SteadyClock = std::chrono::steady_clock;

namespace {

long long MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

std::vector<std::uint8_t> Bytes(std::size_t size, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

class SerialPtyTest : public ::testing::Test {
protected:
    SerialPtyTest()
    {
        SetSerialTraceObserver([this](const std::string& line) { m_trace.push_back(line); });
    }
    ~SerialPtyTest() override { SetSerialTraceObserver({}); }

    std::unique_ptr<CSerial> OpenPort(const std::string& path)
    {
        return std::make_unique<CSerial>(path.c_str(), 19200, 'N', 8, 1, true, false);
    }

    // Waits until the port reports `count` bytes waiting (a pseudo-terminal
    // delivers asynchronously).
    static std::int32_t WaitingReaches(CSerial& port, std::int32_t count)
    {
        const auto start = SteadyClock::now();
        std::int32_t waiting = port.BytesWaiting();
        while (waiting < count && MsSince(start) < 1000) {
            std::this_thread::sleep_for(1ms);
            waiting = port.BytesWaiting();
        }
        return waiting;
    }

    PtyPort m_pty{5};
    std::vector<std::string> m_trace;
};

TEST_F(SerialPtyTest, WritesArePacedToTheLineRate)
{
    auto port = OpenPort(m_pty.ComPath());
    EXPECT_NEAR(port->MsPerChar(), 1000.0 / 1920.0, 1e-9);

    // Measured on the product's own tick counter, as the pacing is.
    platform::Clock& clock = platform::RealClock();
    const auto data = Bytes(100);
    const std::uint32_t ticks = clock.TickCount();
    EXPECT_EQ(port->Write(data.data(), 100, 5000), 100);
    const std::uint32_t elapsed = clock.TickCount() - ticks;
    EXPECT_GE(elapsed, 52u);
    EXPECT_LT(elapsed, 1000u);
    EXPECT_EQ(m_pty.ReadMaster(100, 1000ms), data);

    const auto start = SteadyClock::now();
    EXPECT_EQ(port->Write(data.data(), 1, 5000), 1);
    EXPECT_LT(MsSince(start), 50);
    EXPECT_EQ(m_pty.ReadMaster(1, 1000ms), std::vector<std::uint8_t>{0});
    EXPECT_TRUE(m_trace.empty());
}

TEST_F(SerialPtyTest, ReadBackChecksTheCableEcho)
{
    auto port = OpenPort(m_pty.ComPath());
    std::atomic<bool> garble{false};
    PtyResponder cable(m_pty, [&](std::span<const std::uint8_t> in) {
        std::vector<std::uint8_t> echo(in.begin(), in.end());
        if (garble) {
            echo.front() ^= 0x40;
        }
        return echo;
    });

    const auto data = Bytes(100, 0x30);
    ASSERT_EQ(port->Write(data.data(), 100, 5000), 100);
    EXPECT_TRUE(port->ReadBack(data.data(), 100, 1, 1000));
    EXPECT_EQ(port->BytesWaiting(), 0);

    garble = true;
    ASSERT_EQ(port->Write(data.data(), 100, 5000), 100);
    const auto start = SteadyClock::now();
    EXPECT_FALSE(port->ReadBack(data.data(), 100, 1, 1000));
    EXPECT_LT(MsSince(start), 500);  // the first wrong byte decides, not the limit

    // No echo at all: the limit passes.
    std::this_thread::sleep_for(50ms);
    port->PurgeInput();  // the rest of the garbled echo
    const auto nothing = Bytes(3);
    EXPECT_FALSE(port->ReadBack(nothing.data(), 3, 1, 100));
}

TEST_F(SerialPtyTest, ReadTakesWhatIsWaitingAndPurgeEmptiesTheInput)
{
    auto port = OpenPort(m_pty.ComPath());
    const auto reply = Bytes(5, 0xF0);
    m_pty.WriteMaster(reply);
    ASSERT_EQ(WaitingReaches(*port, 5), 5);
    std::vector<std::uint8_t> in(5);
    EXPECT_EQ(port->Read(in.data(), 5, 100), 5);
    EXPECT_EQ(in, reply);

    m_pty.WriteMaster(Bytes(250));
    ASSERT_EQ(WaitingReaches(*port, 250), 250);
    port->PurgeInput();
    EXPECT_EQ(port->BytesWaiting(), 0);

    // Nothing arrives: the read ends at its limit with nothing.
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->Read(in.data(), 1, 100), 0);
    EXPECT_GE(MsSince(start), 100);
    EXPECT_EQ(m_trace, std::vector<std::string>{"CSerial::Read - WaitForSingleObject() timed out"});
}

TEST_F(SerialPtyTest, APortInUseOrMissingThrowsAndLeavesNothingOpen)
{
    const std::size_t before = OpenDescriptors();
    auto holder = OpenPort(m_pty.ComPath());
    try {
        OpenPort(m_pty.ComPath());
        ADD_FAILURE() << "a second object opened the port";
    } catch (int e) {
        EXPECT_EQ(e, 1);
    }
    try {
        OpenPort(R"(\\.\COM251)");
        ADD_FAILURE() << "a missing port opened";
    } catch (int e) {
        EXPECT_EQ(e, 1);
    }
    ASSERT_EQ(m_trace.size(), 2u);
    EXPECT_EQ(m_trace[0], "CSerial::Open - CreateFile(" + m_pty.ComPath() + ") failed, GetLastError()==0x00000010");
    EXPECT_EQ(m_trace[1], R"(CSerial::Open - CreateFile(\\.\COM251) failed, GetLastError()==0x00000002)");
    holder.reset();
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_NO_THROW(OpenPort(m_pty.ComPath()));  // free again once deleted
}

TEST_F(SerialPtyTest, HangUpEndsATransferEarlyWithNothing)
{
    for (const bool reading : {true, false}) {
        PtyPort pty(6);
        // Opened before the port is, so it can fill the line's buffer.
        const int filler = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(filler, 0);
        auto port = OpenPort(pty.ComPath());
        if (!reading) {
            // The terminal frees room as its buffers move on in the
            // background: fill until it stays full.
            const auto block = Bytes(4096);
            for (int quiet = 0; quiet < 3;) {
                quiet = write(filler, block.data(), block.size()) > 0 ? 0 : quiet + 1;
                std::this_thread::sleep_for(5ms);
            }
        }
        std::thread far([&] {
            std::this_thread::sleep_for(50ms);
            pty.CloseMaster();
        });
        std::vector<std::uint8_t> buffer(100);
        const auto start = SteadyClock::now();
        const std::int32_t moved =
            reading ? port->Read(buffer.data(), 4, 3000) : port->Write(buffer.data(), 100, 3000);
        const auto elapsed = MsSince(start);
        far.join();
        EXPECT_EQ(moved, 0) << reading;
        EXPECT_LT(elapsed, 1000) << reading;
        EXPECT_EQ(port->BytesWaiting(), 0);
        EXPECT_FALSE(port->ReadBack(buffer.data(), 1, 1, 20));
        close(filler);
    }
}

}  // namespace
