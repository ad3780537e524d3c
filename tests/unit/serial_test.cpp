// The serial port object against a mocked device: line settings, pacing,
// every branch of a transfer and its diagnostic lines; and the echo check
// against the in-memory line, where arrivals happen at exact times.
#include "platform/Services.h"
#include "platform/fake/FakeCommDevice.h"
#include "platform/fake/VirtualClock.h"
#include "serial/CSerial.h"
#include "serial/SerialTrace.h"
#include "support/MockCommDevice.h"
#include "support/ScriptedPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace testing;
using platform::IoStart;
using platform::LineSettings;
using platform::WaitResult;
using testing_support::MockCommDevice;
using testing_support::MockCommPorts;

namespace {

class SerialTest : public Test {
protected:
    SerialTest()
    {
        SetSerialTraceObserver([this](const std::string& line) { trace.push_back(line); });
        ports.device = std::make_unique<NiceMock<MockCommDevice>>();
        dev = ports.device.get();
        ON_CALL(*dev, CreateEvent()).WillByDefault(Return(true));
        ON_CALL(*dev, GetState(_)).WillByDefault(DoAll(SaveArg<0>(&initial), Return(true)));
        ON_CALL(*dev, SetState(_)).WillByDefault(DoAll(SaveArg<0>(&applied), Return(true)));
        ON_CALL(*dev, SetTimeouts(_)).WillByDefault(Return(true));
        ON_CALL(*dev, ClearError(_, _)).WillByDefault(Return(true));
        ON_CALL(*dev, LastError()).WillByDefault(Return(0x1F));
    }
    ~SerialTest() override { SetSerialTraceObserver({}); }

    std::unique_ptr<CSerial> OpenPort(int parity = 'N', int stopBits = 1, bool dtr = true, bool rts = false)
    {
        return std::make_unique<CSerial>("\\\\.\\COM1", 19200, parity, 8, stopBits, dtr, rts);
    }

    // A write that the device completes at once after `cost` ms.
    void WritesComplete(std::uint32_t cost = 0)
    {
        ON_CALL(*dev, StartWrite(_, _, _, _))
            .WillByDefault([this, cost](const std::uint8_t*, std::uint32_t n, std::uint32_t& done,
                                        platform::Overlapped&) {
                clock.Advance(cost);
                done = n;
                return IoStart::Completed;
            });
    }

    platform::fake::VirtualClock clock;
    MockCommPorts ports;
    platform::ScopedServices services{clock, ports};
    MockCommDevice* dev = nullptr;
    LineSettings initial;
    LineSettings applied;
    std::vector<std::string> trace;
};

TEST_F(SerialTest, AppliesTheFixedLineSettingsAndKeepsTheOthers)
{
    ON_CALL(*dev, GetState(_)).WillByDefault([&](LineSettings& s) {
        s.DCBlength = 80;
        s.wReserved1 = 0xBEEF;
        s.fDummy2 = 0x1FFFF;
        s.fOutX = 1;
        s.XonLim = 2048;
        return true;
    });
    platform::CommTimeouts timeouts{1, 2, 3, 4, 5};
    EXPECT_CALL(*dev, SetTimeouts(_)).WillOnce(DoAll(SaveArg<0>(&timeouts), Return(true)));

    auto port = OpenPort();

    EXPECT_EQ(ports.lastPath, "\\\\.\\COM1");
    EXPECT_EQ(applied.DCBlength, 80u);
    EXPECT_EQ(applied.wReserved1, 0xBEEF);
    EXPECT_EQ(applied.fDummy2, 0x1FFFFu);
    EXPECT_EQ(applied.BaudRate, 19200u);
    EXPECT_EQ(applied.fBinary, 1u);
    EXPECT_EQ(applied.fTXContinueOnXoff, 1u);
    EXPECT_EQ(applied.fOutX + applied.fInX + applied.fOutxCtsFlow + applied.fOutxDsrFlow + applied.fDsrSensitivity +
                  applied.fErrorChar + applied.fNull + applied.fAbortOnError + applied.wReserved + applied.XonLim +
                  applied.XoffLim,
              0u);
    EXPECT_EQ(applied.ByteSize, 8);
    EXPECT_EQ(applied.XoffChar, 1);
    EXPECT_EQ(applied.XonChar + applied.ErrorChar + applied.EofChar + applied.EvtChar, 0);
    EXPECT_EQ(timeouts, platform::CommTimeouts{});
    EXPECT_TRUE(port->IsOpen());
    EXPECT_TRUE(trace.empty());
}

struct SettingsCase {
    int parity;
    int stopBits;
    bool dtr;
    bool rts;
    std::uint8_t wantParity;
    std::uint32_t wantFParity;
    std::uint8_t wantStopBits;
    double wantMsPerChar;
};

TEST_F(SerialTest, MapsParityStopBitsAndModemLines)
{
    const SettingsCase cases[] = {
        {'N', 1, true, false, platform::NOPARITY, 0, platform::ONESTOPBIT, 0.5208333},
        {'E', 1, false, true, platform::EVENPARITY, 1, platform::ONESTOPBIT, 0.5729167},
        {'O', 1, true, true, platform::ODDPARITY, 1, platform::ONESTOPBIT, 0.5729167},
        {'N', 2, false, false, platform::NOPARITY, 0, platform::TWOSTOPBITS, 0.5729167},
        {'X', 1, true, false, platform::NOPARITY, 1, platform::ONESTOPBIT, 0.5729167},
    };
    auto port = OpenPort();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "parity " << char(c.parity) << " stop " << c.stopBits);
        ASSERT_TRUE(port->SetParams(19200, c.parity, 8, c.stopBits, c.dtr, c.rts));
        EXPECT_EQ(applied.Parity, c.wantParity);
        EXPECT_EQ(applied.fParity, c.wantFParity);
        EXPECT_EQ(applied.StopBits, c.wantStopBits);
        EXPECT_EQ(applied.fDtrControl, c.dtr ? 1u : 0u);
        EXPECT_EQ(applied.fRtsControl, c.rts ? 1u : 0u);
        EXPECT_NEAR(port->MsPerChar(), c.wantMsPerChar, 1e-6);
    }
}

TEST_F(SerialTest, RefusedSettingsThrowAndReleaseTheDevice)
{
    {
        // Refused on an open port: the character time falls back to 1 ms
        // until settings are accepted again.
        auto port = OpenPort();
        ON_CALL(*dev, SetState(_)).WillByDefault(Return(false));
        EXPECT_FALSE(port->SetParams(9600, 'N', 8, 1, true, false));
        EXPECT_EQ(port->MsPerChar(), 1.0);
    }
    struct Case {
        const char* what;
        std::function<void(MockCommDevice&)> arrange;
    };
    const Case cases[] = {
        {"GetCommState", [](MockCommDevice& d) { ON_CALL(d, GetState(_)).WillByDefault(Return(false)); }},
        {"SetCommState", [](MockCommDevice& d) { ON_CALL(d, SetState(_)).WillByDefault(Return(false)); }},
        {"SetCommTimeouts", [](MockCommDevice& d) { ON_CALL(d, SetTimeouts(_)).WillByDefault(Return(false)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        trace.clear();
        ports.device = std::make_unique<NiceMock<MockCommDevice>>();
        auto& d = *ports.device;
        ON_CALL(d, GetState(_)).WillByDefault(Return(true));
        ON_CALL(d, SetState(_)).WillByDefault(Return(true));
        ON_CALL(d, SetTimeouts(_)).WillByDefault(Return(true));
        ON_CALL(d, LastError()).WillByDefault(Return(0x57));
        c.arrange(d);
        {
            InSequence order;
            EXPECT_CALL(d, CloseEvent());
            EXPECT_CALL(d, Die());
        }
        try {
            OpenPort();
            ADD_FAILURE() << "no exception";
        } catch (int e) {
            EXPECT_EQ(e, 1);
        }
        ASSERT_EQ(trace.size(), 1u);
        EXPECT_EQ(trace[0], std::string("CSerial::SetParams - ") + c.what + "() failed, GetLastError()==0x00000057");
    }
}

TEST_F(SerialTest, MissingDeviceThrowsWithOneLine)
{
    ports.device.reset();
    ports.openError = 2;
    EXPECT_THROW(
        {
            try {
                CSerial port("\\\\.\\COM7", 19200, 'N', 8, 1, true, false);
            } catch (int e) {
                EXPECT_EQ(e, 1);
                throw;
            }
        },
        int);
    EXPECT_THAT(trace, ElementsAre("CSerial::Open - CreateFile(\\\\.\\COM7) failed, GetLastError()==0x00000002"));
}

TEST_F(SerialTest, ClosedObjectDoesNothing)
{
    auto port = OpenPort();
    EXPECT_CALL(*dev, CloseEvent());
    EXPECT_CALL(*dev, Die());
    EXPECT_TRUE(port->Close());
    const double before = port->MsPerChar();
    std::uint8_t buf[4] = {};
    EXPECT_FALSE(port->Close());
    EXPECT_FALSE(port->SetParams(9600, 'E', 7, 2, true, true));
    EXPECT_EQ(port->MsPerChar(), before);
    EXPECT_EQ(port->Read(buf, 4, 100), 0);
    EXPECT_EQ(port->Write(buf, 4, 100), 0);
    EXPECT_EQ(port->BytesWaiting(), 0);
    EXPECT_TRUE(trace.empty());
}

TEST_F(SerialTest, WritePacesToTheLineTimeOfTheRequestedCount)
{
    struct Case {
        std::uint32_t startTick;
        int count;
        std::uint32_t deviceMs;  // time the device itself took
        std::uint64_t wantTotal;
    };
    const Case cases[] = {
        {0, 100, 0, 52},           // E = 52: sleeps the whole line time
        {0, 100, 47, 52},          // sleeps the remaining 5
        {0, 100, 60, 60},          // took longer: no sleep
        {0, 1, 0, 0},              // E = 0: never sleeps
        {0xFFFFFFF0u, 100, 20, 52},  // the tick counter wraps mid-write
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " device " << c.deviceMs);
        platform::fake::VirtualClock local(c.startTick);
        MockCommPorts localPorts;
        localPorts.device = std::make_unique<NiceMock<MockCommDevice>>();
        auto& d = *localPorts.device;
        ON_CALL(d, GetState(_)).WillByDefault(Return(true));
        ON_CALL(d, SetState(_)).WillByDefault(Return(true));
        ON_CALL(d, SetTimeouts(_)).WillByDefault(Return(true));
        ON_CALL(d, StartWrite(_, _, _, _))
            .WillByDefault([&](const std::uint8_t*, std::uint32_t n, std::uint32_t& done, platform::Overlapped&) {
                local.Advance(c.deviceMs);
                done = n;
                return IoStart::Completed;
            });
        platform::ScopedServices scoped(local, localPorts);
        CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
        std::vector<std::uint8_t> data(static_cast<std::size_t>(c.count), 0x41);
        const std::uint64_t before = local.Now();
        EXPECT_EQ(port.Write(data.data(), c.count, 5000), c.count);
        EXPECT_EQ(local.Now() - before, c.wantTotal);
    }
}

TEST_F(SerialTest, PacingStaysDefinedForANegativeCountOrAnUnusableRate)
{
    struct Case {
        const char* name;
        std::int32_t baud;
        std::int32_t count;
        std::uint64_t wantMs;
    };
    const Case cases[] = {
        {"negative count", 19200, -100, 0},
        {"zero baud", 0, 100, 0},
        {"zero baud, zero count", 0, 0, 0},
        {"negative baud", -19200, 100, 0},
        {"line time beyond the tick counter", 1, INT32_MAX, UINT32_MAX},
        {"valid settings still pace", 19200, 100, 52},
    };
    auto port = OpenPort();
    WritesComplete();
    std::uint8_t byte = 0x41;  // the mocked device reads nothing of it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(port->SetParams(c.baud, 'N', 8, 1, true, false));
        const std::uint64_t before = clock.Now();
        EXPECT_EQ(port->Write(&byte, c.count, 5000), std::max(c.count, 0));
        EXPECT_EQ(clock.Now() - before, c.wantMs);
    }
}

// Every way a transfer can go, for reads and writes: what is returned, which
// line is traced, and that nothing is left pending when the call returns.
struct TransferCase {
    const char* name;
    IoStart start;
    WaitResult wait;
    bool resultOk;
    int wantRead;
    const char* wantReadLine;
    int wantWrite;
    const char* wantWriteLine;
    bool ended;   // EndTransfer called
    bool reset;   // ResetEvent called
};

TEST_F(SerialTest, EveryTransferBranch)
{
    const TransferCase cases[] = {
        {"at once", IoStart::Completed, WaitResult::Signalled, true, 4, nullptr, 4, nullptr, false, false},
        {"start fails", IoStart::Failed, WaitResult::Signalled, true, 0,
         "CSerial::Read - ReadFile() failed, GetLastError()==0x0000001F", 0,
         "CSerial::Write - WriteFile() failed, GetLastError()==0x0000001F", false, false},
        {"pending, completes", IoStart::Pending, WaitResult::Signalled, true, 3, nullptr, 3, nullptr, false, true},
        {"pending, result fails", IoStart::Pending, WaitResult::Signalled, false, 3,
         "CSerial::Read - GetOverlappedResult() failed, GetLastError()==0x0000001F", 0,
         "CSerial::Write (writing data) - GetOverlappedResult() failed, GetLastError()==0x0000001F", false, true},
        {"times out", IoStart::Pending, WaitResult::TimedOut, true, 0,
         "CSerial::Read - WaitForSingleObject() timed out", 0,
         "CSerial::Write (writing data) - WaitForSingleObject() timed out", true, false},
        {"wait fails", IoStart::Pending, WaitResult::Failed, true, 0, nullptr, 0, nullptr, true, false},
    };
    auto port = OpenPort();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool reading : {true, false}) {
            trace.clear();
            Mock::VerifyAndClearExpectations(dev);
            auto startAction = [&c](auto, std::uint32_t n, std::uint32_t& done, platform::Overlapped& ov) {
                EXPECT_EQ(ov.Offset, 0u);
                EXPECT_EQ(ov.OffsetHigh, 0u);
                done = c.start == IoStart::Completed ? n : 0;
                return c.start;
            };
            ON_CALL(*dev, StartRead(_, _, _, _)).WillByDefault(startAction);
            ON_CALL(*dev, StartWrite(_, _, _, _)).WillByDefault(startAction);
            ON_CALL(*dev, Wait(_)).WillByDefault(Return(c.wait));
            ON_CALL(*dev, GetResult(_)).WillByDefault(DoAll(SetArgReferee<0>(3u), Return(c.resultOk)));
            ON_CALL(*dev, LastError()).WillByDefault(Return(0x1F));
            ON_CALL(*dev, ClearError(_, _)).WillByDefault(Return(true));
            EXPECT_CALL(*dev, EndTransfer()).Times(c.ended ? 1 : 0);
            EXPECT_CALL(*dev, ResetEvent()).Times(c.reset && (reading || c.resultOk) ? 1 : 0);
            // Limits no caller uses: the wait must get the caller's own.
            if (c.start == IoStart::Pending) {
                EXPECT_CALL(*dev, Wait(reading ? 250u : 4000u));
            }
            std::uint8_t buf[4] = {1, 2, 3, 4};
            const char* wantLine = reading ? c.wantReadLine : c.wantWriteLine;
            const int got = reading ? port->Read(buf, 4, 250) : port->Write(buf, 4, 4000);
            EXPECT_EQ(got, reading ? c.wantRead : c.wantWrite) << (reading ? "read" : "write");
            if (wantLine != nullptr) {
                EXPECT_THAT(trace, ElementsAre(wantLine));
            } else {
                EXPECT_THAT(trace, IsEmpty());
            }
        }
    }
}

TEST_F(SerialTest, ReadTracesPendingLineErrorsAndGoesAhead)
{
    auto port = OpenPort();
    std::uint8_t b = 0;
    const std::pair<std::uint32_t, const char*> masks[] = {
        {0x0Au, "CSerial::Read - ClearCommError returns 0x0000000A"},
        {0x01u, "CSerial::Read - ClearCommError returns 0x00000001"},  // any mask but 0
    };
    for (const auto& [mask, line] : masks) {
        trace.clear();
        EXPECT_CALL(*dev, ClearError(_, _)).WillOnce(DoAll(SetArgReferee<0>(mask), SetArgReferee<1>(1u), Return(true)));
        EXPECT_CALL(*dev, StartRead(_, 1u, _, _)).WillOnce(DoAll(SetArgReferee<2>(1u), Return(IoStart::Completed)));
        EXPECT_EQ(port->Read(&b, 1, 100), 1);
        EXPECT_THAT(trace, ElementsAre(line));
    }

    // A write clears line errors without a line.
    trace.clear();
    WritesComplete();
    EXPECT_CALL(*dev, ClearError(_, _)).WillOnce(DoAll(SetArgReferee<0>(0x0Au), Return(true)));
    EXPECT_EQ(port->Write(&b, 1, 100), 1);
    EXPECT_THAT(trace, IsEmpty());
}

TEST_F(SerialTest, WaitFailureStillWaitsOutTheLineTime)
{
    auto port = OpenPort();
    ON_CALL(*dev, StartWrite(_, _, _, _)).WillByDefault(Return(IoStart::Pending));
    ON_CALL(*dev, Wait(_)).WillByDefault(Return(WaitResult::Failed));
    std::vector<std::uint8_t> data(100, 0);
    const auto before = clock.Now();
    EXPECT_EQ(port->Write(data.data(), 100, 5000), 0);
    EXPECT_EQ(clock.Now() - before, 52u);
}

TEST(SerialReadBackTest, EdgesOfTheEchoCheck)
{
    using Bytes = std::vector<std::uint8_t>;
    struct Piece {
        std::uint64_t at;  // ms after the call begins
        Bytes bytes;
    };
    struct Case {
        const char* name;
        std::vector<Piece> arriving;
        std::int32_t length;
        std::int32_t verify;
        std::uint32_t waitMs;
        bool want;
        std::uint64_t wantMs;    // how long the call took
        std::uint32_t wantLeft;  // bytes still queued once everything has arrived
    };
    const std::uint8_t expected[] = {0x01, 0x02, 0x03, 0x04};
    const Case cases[] = {
        {"whole echo at once", {{0, {1, 2, 3, 4}}}, 4, 1, 1000, true, 0, 0},
        {"echo in pieces, looked for every 2 ms", {{0, {1, 2}}, {1, {3, 4}}}, 4, 1, 1000, true, 2, 0},
        {"only the echo's own bytes are taken", {{0, {1, 2, 3, 4, 0xAA}}}, 4, 1, 1000, true, 0, 1},
        {"length 0: true, nothing read, no wait", {{0, {1}}}, 0, 1, 1000, true, 0, 1},
        {"limit 0: false, nothing read", {{0, {1, 2, 3, 4}}}, 4, 1, 0, false, 0, 4},
        {"the rest arriving at the limit is too late", {{0, {1, 2}}, {10, {3, 4}}}, 4, 1, 10, false, 10, 2},
        {"mismatch: false at once, the rest stays queued", {{0, {1, 0xFF}}, {3, {3, 4}}}, 4, 1, 1000, false, 0, 2},
        {"partial echo: false at the limit, the part consumed", {{0, {1, 2}}}, 4, 1, 100, false, 100, 0},
        {"verify off: true, what waits is purged, later bytes stay", {{0, {0xAA, 0xBB, 0xCC}}, {5, {0xDD}}}, 4, 0,
         1000, true, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::fake::VirtualClock clock;
        testing_support::ScriptedPeer peer;
        peer.echo = testing_support::ScriptedPeer::Echo::None;
        platform::fake::FakeCommPorts ports(clock, peer);
        platform::ScopedServices scoped(clock, ports);
        CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
        const std::uint64_t start = clock.Now();
        for (const auto& p : c.arriving) {
            peer.Send(p.bytes, start + p.at);
        }
        EXPECT_EQ(port.ReadBack(expected, c.length, c.verify, c.waitMs), c.want);
        EXPECT_EQ(clock.Now() - start, c.wantMs);
        clock.Advance(50);
        EXPECT_EQ(port.BytesWaiting(), static_cast<std::int32_t>(c.wantLeft));
    }
}

}  // namespace
