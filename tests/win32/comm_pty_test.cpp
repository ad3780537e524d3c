// The Win32 comm device under the serial port object, against the scanner
// model that a Linux test serves on a pseudo-terminal mapped as Wine's
// COM<n> (VRT_TEST_COM=n). The Linux side picks the scanner for each suite:
//   ScannerOnPort   a scanner reporting the factory version 1.4
//   ScannerHangsUp  a scanner that vanishes as the VERSION request arrives
//   MissingPort     nothing attached
// Where Wine differs from Windows the assertion says so and is skipped only
// under Wine.
#include "platform/Services.h"
#include "platform/System.h"
#include "platform/win32/Win32Api.h"
#include "protocol/CPacket.h"
#include "protocol/Protocol.h"
#include "protocol/Transactions.h"
#include "protocol/UpdaterState.h"
#include "serial/CSerial.h"
#include "serial/SerialTrace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string ComPath(int number)
{
    return "\\\\.\\COM" + std::to_string(number);
}

long long MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// The system's ports, keeping hold of the device last opened so a test can
// ask it what the line is set to.
class KeepingPorts final : public platform::CommPorts {
public:
    std::unique_ptr<platform::CommDevice> Open(const std::string& path, std::uint32_t& error) override
    {
        auto device = platform::SystemPorts().Open(path, error);
        last = device.get();
        return device;
    }
    platform::CommDevice* last = nullptr;
};

class SerialOnWindows : public testing::Test {
protected:
    SerialOnWindows()
    {
        SetSerialTraceObserver([this](const std::string& line) { trace.push_back(line); });
    }
    ~SerialOnWindows() override { SetSerialTraceObserver({}); }

    // Opens COM<number> as the product does; null when it throws.
    std::unique_ptr<CSerial> OpenPort(int number)
    {
        try {
            return std::make_unique<CSerial>(ComPath(number).c_str(), 19200, 'N', 8, 1, true, false);
        } catch (int) {
            return nullptr;
        }
    }

    static void QueueTest(CUpdaterState& state)
    {
        state.ClearPacketQueue();
        state.m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
        state.m_packets.push_back(std::make_unique<CPacket>(PACKET_VERSION));
    }

    KeepingPorts ports;
    platform::ScopedServices services{platform::RealClock(), ports};
    std::vector<std::string> trace;
};

// The suites that need the scanner take its COM number from the Linux side.
class OnServedPort : public SerialOnWindows {
protected:
    void SetUp() override
    {
        const char* number = std::getenv("VRT_TEST_COM");
        if (number == nullptr || std::atoi(number) < 1) {
            GTEST_SKIP() << "VRT_TEST_COM names no port with a scanner on it";
        }
        com = std::atoi(number);
    }
    int com = 0;
};

using ScannerOnPort = OnServedPort;
using ScannerHangsUp = OnServedPort;
using MissingPort = SerialOnWindows;

TEST_F(ScannerOnPort, OpensForExclusiveUseWithTheLineSettings)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    EXPECT_NEAR(port->MsPerChar(), 10'000.0 / 19'200.0, 1e-9);

    // What the device says it was set to, read back through the same DCB.
    platform::LineSettings line;
    ASSERT_TRUE(ports.last->GetState(line)) << ports.last->LastError();
    EXPECT_EQ(line.DCBlength, sizeof(DCB));
    EXPECT_EQ(line.BaudRate, 19200u);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, platform::NOPARITY);
    EXPECT_EQ(line.StopBits, platform::ONESTOPBIT);
    EXPECT_EQ(line.fBinary, 1u);
    EXPECT_EQ(line.fParity, 0u);
    EXPECT_EQ(line.fOutxCtsFlow, 0u);
    EXPECT_EQ(line.fOutxDsrFlow, 0u);
    EXPECT_EQ(line.fOutX, 0u);
    EXPECT_EQ(line.fInX, 0u);
    EXPECT_EQ(line.fDtrControl, platform::DTR_CONTROL_ENABLE);
    EXPECT_EQ(line.XonChar, 0);
    EXPECT_EQ(line.XoffChar, 1);
    if (UnderWine()) {
        // Wine cannot drive the modem lines of a pseudo-terminal (requests
        // fail with 50) and reports RTS as enabled whatever was set.
        std::printf("Wine: RTS read back as control %u on a pseudo-terminal; not checked\n", line.fRtsControl);
    } else {
        EXPECT_EQ(line.fRtsControl, platform::RTS_CONTROL_DISABLE);
    }

    // Nobody else gets the port while it is open.
    trace.clear();
    auto second = OpenPort(com);
    if (UnderWine()) {
        // Wine shares a pseudo-terminal with a second opener despite share
        // mode 0.
        std::printf("Wine: a second open was %s\n", second ? "allowed" : "refused");
    } else {
        EXPECT_EQ(second, nullptr);
        EXPECT_THAT(trace, testing::ElementsAre("CSerial::Open - CreateFile(" + ComPath(com) +
                                                ") failed, GetLastError()==0x00000005"));
    }
}

// A COM port cannot tell the simulator from a scanner; only the environment
// that serves the simulator says so, and only with exactly "1".
TEST_F(ScannerOnPort, OnlyTheEnvironmentMakesAPortTheSimulator)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    struct Case {
        const char* value;  // null: unset
        bool simulator;
    };
    for (const Case c : {Case{"1", true}, Case{"yes", false}, Case{"0", false}, Case{"", false},
                         Case{nullptr, false}}) {
        SetEnvironmentVariableA("VRT58_SIMULATOR", c.value);
        EXPECT_EQ(port->IsSimulator(), c.simulator) << (c.value != nullptr ? c.value : "(unset)");
    }
    SetEnvironmentVariableA("VRT58_SIMULATOR", "1");
}

TEST_F(ScannerOnPort, AHundredByteWriteTakesItsLineTimeAndComesBackAsEcho)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    // Acknowledgements nobody asked for: the scanner answers none of them,
    // so only the cable's echo comes back.
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = i % 3 == 0 ? NAK : ACK;
    }
    // Counted on the product's own millisecond counter, as the pacing is: a
    // clock of finer grain may see up to a millisecond less.
    platform::Clock& clock = platform::CurrentClock();
    const std::uint32_t start = clock.TickCount();
    EXPECT_EQ(port->Write(bytes.data(), 100, 5000), 100);
    const long long took = clock.TickCount() - start;
    EXPECT_GE(took, 52);
    EXPECT_LT(took, 1000);
    EXPECT_TRUE(port->ReadBack(bytes.data(), 100, 1, 1000));
    EXPECT_EQ(port->BytesWaiting(), 0);
    EXPECT_THAT(trace, testing::IsEmpty());
    std::printf("100-byte write returned after %lld ms\n", took);
}

TEST_F(ScannerOnPort, AWholeEnqAndVersionRunDeliversTheVersion)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    CUpdaterState state;
    QueueTest(state);
    const auto start = SteadyClock::now();
    EXPECT_EQ(RunTransactions(*port, state), RESULT_OK);
    std::printf("ENQ + VERSION run took %lld ms\n", MsSince(start));
    EXPECT_EQ(state.m_nReplyByte1, 1);
    EXPECT_EQ(state.m_nScannerVersion, 0x14);
    EXPECT_TRUE(state.m_bFactory);
    EXPECT_TRUE(state.m_packets.empty());
}

TEST_F(ScannerOnPort, AReadThatTimesOutLetsGoOfItsBuffer)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    port->PurgeInput();

    std::uint8_t abandoned[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->Read(abandoned, 1, 100), 0);
    const long long took = MsSince(start);
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 1000);
    EXPECT_THAT(trace, testing::ElementsAre("CSerial::Read - WaitForSingleObject() timed out"));

    // The next byte on the line goes to the next read, not to the buffer
    // of the read that was given up.
    const std::uint8_t ack = ACK;
    ASSERT_EQ(port->Write(&ack, 1, 5000), 1);
    EXPECT_TRUE(port->ReadBack(&ack, 1, 1, 1000));
    EXPECT_THAT(abandoned, testing::Each(0xEE));
}

TEST_F(ScannerHangsUp, TheRunEndsWithinItsBoundAndThePortStaysQuiet)
{
    auto port = OpenPort(com);
    ASSERT_NE(port, nullptr) << testing::PrintToString(trace);
    CUpdaterState state;
    QueueTest(state);
    const auto start = SteadyClock::now();
    const TransactionResult result = RunTransactions(*port, state);
    const long long took = MsSince(start);
    std::printf("hang-up run: result %d after %lld ms\n", static_cast<int>(result), took);
    for (const std::string& line : trace) {
        std::printf("  %s\n", line.c_str());
    }
    EXPECT_NE(result, RESULT_OK);
    // Settling, then at worst three acknowledgement waits of a second.
    EXPECT_LT(took, 200 + 3 * 1000 + 1500);
    EXPECT_EQ(state.m_nScannerVersion, 0);

    // A line that has gone reports nothing waiting and takes nothing.
    trace.clear();
    EXPECT_EQ(port->BytesWaiting(), 0);
    const std::uint8_t ack = ACK;
    EXPECT_EQ(port->Write(&ack, 1, 1000), 0);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_THAT(trace[0], testing::StartsWith("CSerial::Write"));
    std::printf("after the hang-up: %s\n", trace[0].c_str());

    const auto closing = SteadyClock::now();
    port.reset();
    EXPECT_LT(MsSince(closing), 1000);
}

TEST_F(MissingPort, IsReportedWithTheSystemsErrorCode)
{
    // Every number up to 32 is mapped to a link by the Wine prefix of the
    // tests (and Wine gives the next free one to /dev/ttyS0), so a number
    // far above is missing there as on a Windows machine.
    const int missing = 250;
    EXPECT_EQ(OpenPort(missing), nullptr);
    EXPECT_THAT(trace, testing::ElementsAre("CSerial::Open - CreateFile(" + ComPath(missing) +
                                            ") failed, GetLastError()==0x00000002"));
    EXPECT_EQ(ports.last, nullptr);
}

}  // namespace
