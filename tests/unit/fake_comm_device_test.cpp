// The in-memory line: every branch a transfer can take, in virtual time.

#include "support/SimLine.h"

#include <gtest/gtest.h>

namespace {

using platform::IoStart;
using platform::Overlapped;
using platform::WaitResult;
using platform::fake::FAKE_ERROR_HUNG_UP;
using test::Bytes;
using test::HexBytes;
using test::SimLine;

TEST(FakeCommPorts, OpensOnlyTheAttachedFreePort)
{
    SimLine line({}, 3);
    std::uint32_t error = 0;
    EXPECT_EQ(line.ports.Open("\\\\.\\COM1", error), nullptr);
    EXPECT_EQ(error, 2u);
    EXPECT_EQ(line.ports.Open("COM3", error), nullptr);
    EXPECT_EQ(error, 2u);

    line.ports.SetHeld(true);
    EXPECT_EQ(line.ports.Open("\\\\.\\COM3", error), nullptr);
    EXPECT_EQ(error, 5u);
    line.ports.SetHeld(false);

    line.ports.Faults().openFails = true;
    EXPECT_EQ(line.ports.Open("\\\\.\\COM3", error), nullptr);
    EXPECT_EQ(error, 2u);
    line.ports.Faults().openFails = false;

    auto device = line.ports.Open("\\\\.\\COM3", error);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(line.ports.Open("\\\\.\\COM3", error), nullptr) << "exclusive";
    EXPECT_EQ(error, 5u);
    EXPECT_TRUE(line.ports.Record().open);

    device->CreateEvent();
    device.reset();  // destroying the device closes it; the event stays leaked
    const auto& record = line.ports.Record();
    EXPECT_FALSE(record.open);
    EXPECT_EQ(record.opens, 1);
    EXPECT_EQ(record.closes, 1);
    EXPECT_EQ(record.eventsOpen, 1);
    EXPECT_EQ(line.ports.OpenedPaths().size(), 6u);
}

TEST(FakeCommDevice, PendingReadCompletesWhenTheBytesArriveInVirtualTime)
{
    sim::ScannerConfig config;
    config.latencyMs = 40;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05")));
    EXPECT_EQ(line.ports.Record().written, Bytes("05"));

    std::uint8_t buffer[2] = {};
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartRead(buffer, 2, done, overlapped), IoStart::Pending);
    EXPECT_EQ(line.device->LastError(), platform::ERROR_IO_PENDING);
    EXPECT_EQ(line.device->Wait(1000), WaitResult::Signalled);
    EXPECT_EQ(line.clock.Now(), 41u) << "the wait skips dead time but not past the arrival";
    ASSERT_TRUE(line.device->GetResult(done));
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(buffer[0], 0x05);
    EXPECT_EQ(buffer[1], 0x06);
    EXPECT_EQ(line.ports.Record().misuse, 0);
}

TEST(FakeCommDevice, PendingReadTimesOutAtTheLimitAndEndingDropsWhatItTook)
{
    sim::ScannerConfig config;
    config.faults.silence = sim::ScannerFaults::kAlways;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05")));

    std::uint8_t buffer[2] = {};
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartRead(buffer, 2, done, overlapped), IoStart::Pending);
    EXPECT_EQ(line.device->Wait(100), WaitResult::TimedOut);
    EXPECT_EQ(line.clock.Now(), 100u);
    line.device->EndTransfer();

    std::uint32_t errors = 0;
    std::uint32_t waiting = 99;
    ASSERT_TRUE(line.device->ClearError(errors, waiting));
    EXPECT_EQ(waiting, 0u) << "the echo went with the ended read";
}

TEST(FakeCommDevice, ReadOfQueuedBytesCompletesAtOnce)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("56")));
    line.clock.Advance(10);
    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    ASSERT_TRUE(line.device->ClearError(errors, waiting));
    EXPECT_EQ(waiting, 7u);
    std::uint8_t buffer[7] = {};
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartRead(buffer, 7, done, overlapped), IoStart::Completed);
    EXPECT_EQ(done, 7u);
    EXPECT_EQ(HexBytes({buffer, buffer + 7}), "56 06 02 01 13 03 17");
}

TEST(FakeCommDevice, DeadPortWriteNeverCompletes)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    line.ports.Faults().writeAcceptLimit = 0;
    const auto bytes = Bytes("05");
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartWrite(bytes.data(), 1, done, overlapped), IoStart::Pending);
    EXPECT_EQ(line.device->Wait(5000), WaitResult::TimedOut);
    EXPECT_EQ(line.clock.Now(), 5000u);
    line.device->EndTransfer();
    EXPECT_TRUE(line.ports.Record().written.empty());
    EXPECT_EQ(line.model.Record().bytesReceived, 0u);
}

TEST(FakeCommDevice, PendingWriteCompletesAfterItsLineTime)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    platform::LineSettings settings;
    settings.BaudRate = 19200;
    settings.ByteSize = 8;
    settings.Parity = platform::NOPARITY;
    settings.StopBits = platform::ONESTOPBIT;
    ASSERT_TRUE(line.device->SetState(settings));
    line.ports.Faults().writesPend = true;

    const std::vector<std::uint8_t> chunk(100, 0x41);
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartWrite(chunk.data(), 100, done, overlapped), IoStart::Pending);
    EXPECT_EQ(line.device->Wait(10), WaitResult::TimedOut);
    EXPECT_EQ(line.device->Wait(1000), WaitResult::Signalled);
    EXPECT_EQ(line.clock.Now(), 53u);  // 52.08 ms of line time, rounded up
    ASSERT_TRUE(line.device->GetResult(done));
    EXPECT_EQ(done, 100u);
}

TEST(FakeCommDevice, KnobsPushEachOperationDownItsFailureBranch)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    auto& faults = line.ports.Faults();
    faults.errorCode = 0x1234;
    auto& device = *line.device;
    std::uint8_t byte = 0x05;
    std::uint32_t done = 0;
    Overlapped overlapped;
    platform::LineSettings settings;

    faults.getStateFails = faults.setStateFails = faults.setTimeoutsFails = true;
    EXPECT_FALSE(device.GetState(settings));
    EXPECT_FALSE(device.SetState(settings));
    EXPECT_FALSE(device.SetTimeouts({}));
    EXPECT_EQ(device.LastError(), 0x1234u);
    faults.getStateFails = faults.setStateFails = faults.setTimeoutsFails = false;
    ASSERT_TRUE(device.GetState(settings));
    EXPECT_EQ(settings, line.ports.DeviceSettings());

    faults.writeStartFails = true;
    EXPECT_EQ(device.StartWrite(&byte, 1, done, overlapped), IoStart::Failed);
    faults.writeStartFails = false;
    faults.readStartFails = true;
    EXPECT_EQ(device.StartRead(&byte, 1, done, overlapped), IoStart::Failed);
    EXPECT_EQ(device.LastError(), 0x1234u);
    faults.readStartFails = false;

    ASSERT_EQ(device.StartRead(&byte, 1, done, overlapped), IoStart::Pending);
    faults.waitFails = true;
    EXPECT_EQ(device.Wait(100), WaitResult::Failed);
    EXPECT_EQ(line.clock.Now(), 0u);
    faults.waitFails = false;
    device.EndTransfer();

    ASSERT_TRUE(line.Send(Bytes("05")));
    faults.resultFails = true;
    EXPECT_FALSE(device.GetResult(done));
    faults.resultFails = false;
    EXPECT_TRUE(device.GetResult(done));
    EXPECT_EQ(done, 1u);

    faults.lineErrors = 0x08;
    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    ASSERT_TRUE(device.ClearError(errors, waiting));
    EXPECT_EQ(errors, 0x08u);
    ASSERT_TRUE(device.ClearError(errors, waiting));
    EXPECT_EQ(errors, 0u) << "line errors are reported once";
    faults.clearErrorFails = true;
    EXPECT_FALSE(device.ClearError(errors, waiting));

    faults.shortWriteLimit = 2;  // completes at once, with fewer bytes than asked
    const auto three = Bytes("41 42 43");
    ASSERT_EQ(device.StartWrite(three.data(), 3, done, overlapped), IoStart::Completed);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(line.ports.Record().written, Bytes("05 41 42"));
    EXPECT_EQ(line.ports.Record().reads, (std::vector<std::uint32_t>{1, 1}));
    EXPECT_EQ(line.ports.Record().misuse, 0);
}

TEST(FakeCommDevice, FarSideHangingUpFailsTheTransfers)
{
    sim::ScannerConfig config;
    config.faults.hangupAfter = 50;  // halfway through a 100-byte chunk
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    const std::vector<std::uint8_t> chunk(100, 0x41);
    ASSERT_TRUE(line.Send(chunk));

    std::vector<std::uint8_t> echo(100);
    std::uint32_t done = 0;
    Overlapped overlapped;
    ASSERT_EQ(line.device->StartRead(echo.data(), 100, done, overlapped), IoStart::Pending);
    EXPECT_EQ(line.device->Wait(1000), WaitResult::Signalled);
    EXPECT_EQ(line.clock.Now(), 26u);
    EXPECT_FALSE(line.device->GetResult(done));
    EXPECT_EQ(line.device->LastError(), FAKE_ERROR_HUNG_UP);
    line.device->ResetEvent();

    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    EXPECT_FALSE(line.device->ClearError(errors, waiting));
    EXPECT_EQ(line.device->StartWrite(chunk.data(), 1, done, overlapped), IoStart::Failed);
    EXPECT_EQ(line.device->LastError(), FAKE_ERROR_HUNG_UP);
}

TEST(FakeCommDevice, RecordsSettingsTimeoutsAndCalls)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    auto& device = *line.device;
    platform::LineSettings settings;
    ASSERT_TRUE(device.GetState(settings));
    EXPECT_EQ(settings.fDummy2, 0x15A5Au) << "a fresh port's settings are distinctive";
    settings.BaudRate = 19200;
    ASSERT_TRUE(device.SetState(settings));
    const platform::CommTimeouts timeouts{1, 2, 3, 4, 5};
    ASSERT_TRUE(device.SetTimeouts(timeouts));
    device.CreateEvent();
    device.CloseEvent();

    const auto& record = line.ports.Record();
    EXPECT_EQ(record.settings, settings);
    EXPECT_EQ(record.timeouts, timeouts);
    EXPECT_EQ(record.eventsOpen, 0);
    EXPECT_EQ(record.calls, (std::vector<std::string>{"Open", "GetState", "SetState", "SetTimeouts", "CreateEvent",
                                                      "CloseEvent"}));
}

}  // namespace
