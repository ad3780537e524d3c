// The transaction engine against the scanner model on the fake line, in
// virtual time: what the engine sends, the model understands, and each of the
// model's faults ends a run the way the engine's rules say.

#include "support/SimLine.h"

#include "platform/Services.h"
#include "protocol/Protocol.h"
#include "protocol/Transactions.h"
#include "protocol/UpdaterState.h"
#include "serial/CSerial.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

using sim::ScannerConfig;
using sim::ScannerFaults;

struct RunOutcome {
    TransactionResult result;
    std::uint64_t ms;
};

// ENQ then VERSION on a fresh port, as the connection test queues them.
RunOutcome RunTest(test::SimLine& line, CUpdaterState& state)
{
    platform::ScopedServices services(line.clock, line.ports);
    state.ClearPacketQueue();
    state.m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
    state.m_packets.push_back(std::make_unique<CPacket>(PACKET_VERSION));
    CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
    const std::uint64_t start = line.clock.Now();
    const TransactionResult result = RunTransactions(port, state);
    return {result, line.clock.Now() - start};
}

TEST(EngineWithModel, NormalCourseDeliversTheVersion)
{
    ScannerConfig config;
    config.version = 0x14;
    config.factory = true;
    test::SimLine line(config);
    CUpdaterState state;
    const RunOutcome run = RunTest(line, state);
    EXPECT_EQ(run.result, RESULT_OK);
    EXPECT_EQ(state.m_nReplyByte1, 1);
    EXPECT_EQ(state.m_nScannerVersion, 0x14);
    EXPECT_TRUE(state.m_bFactory);

    const auto& record = line.model.Record();
    ASSERT_EQ(record.requests.size(), 2u);
    EXPECT_EQ(record.requests[0].kind, sim::RequestKind::Enq);
    EXPECT_EQ(record.requests[1].kind, sim::RequestKind::Version);
    EXPECT_EQ(record.pcAnswers, std::vector<std::uint8_t>{ACK});
    EXPECT_EQ(line.ports.Record().closes, 1);
    EXPECT_EQ(line.ports.Record().eventsOpen, 0);
    EXPECT_EQ(line.ports.Record().misuse, 0);
}

TEST(EngineWithModel, EveryKindOfRequestIsUnderstood)
{
    test::SimLine line;
    platform::ScopedServices services(line.clock, line.ports);
    CUpdaterState state;
    auto add = [&](PacketType type, int folder, int address, int count) {
        auto p = std::make_unique<CPacket>(type);
        p->m_nFolder = folder;
        p->m_nAddress = address;
        p->m_nCount = count;
        if (type == PACKET_DATA) {
            p->m_pData = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                p->m_pData[i] = static_cast<std::uint8_t>(i);
            }
        }
        state.m_packets.push_back(std::move(p));
    };
    add(PACKET_ERASE, 10, -1, -1);
    add(PACKET_WRITE, 2, -1, 250);
    add(PACKET_DATA, -1, -1, 250);  // 253 bytes: chunks of 100, 100, 53
    add(PACKET_READ, 1, 0x7F00, 192);
    {
        CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
        EXPECT_EQ(RunTransactions(port, state), RESULT_OK);
    }
    const auto& requests = line.model.Record().requests;
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& r : requests) {
        EXPECT_TRUE(r.good) << sim::RequestKindName(r.kind);
        EXPECT_EQ(r.answer, ACK);
    }
    EXPECT_EQ(requests[0].folder, 10);
    EXPECT_EQ(requests[2].kind, sim::RequestKind::Data);
    EXPECT_EQ(requests[2].count, 250);
    EXPECT_EQ(requests[3].address, 0x7F00);
    EXPECT_EQ(line.model.Record().pcAnswers, std::vector<std::uint8_t>{ACK});
}

struct FaultCase {
    const char* name;
    std::function<void(ScannerConfig&)> fault;
    TransactionResult want;
    std::uint64_t minMs;  // run length, virtual ms, the 200 ms settling included
    std::uint64_t maxMs;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class EngineWithModelFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(EngineWithModelFaults, EndTheRunAsTheRulesSay)
{
    ScannerConfig config;
    GetParam().fault(config);
    test::SimLine line(config);
    CUpdaterState state;
    const RunOutcome run = RunTest(line, state);
    EXPECT_EQ(run.result, GetParam().want);
    EXPECT_GE(run.ms, GetParam().minMs);
    EXPECT_LE(run.ms, GetParam().maxMs);
    EXPECT_EQ(line.ports.Record().eventsOpen, 0);
    EXPECT_EQ(line.ports.Record().misuse, 0);
}

const int kAlways = ScannerFaults::kAlways;

INSTANTIATE_TEST_SUITE_P(
    Faults, EngineWithModelFaults,
    testing::Values(
        FaultCase{"SilenceThreeTimes", [](ScannerConfig& c) { c.faults.silence = kAlways; }, RESULT_NO_RESPONSE,
                  200 + 3000, 200 + 3050},
        FaultCase{"SilenceTwiceThenAnswers", [](ScannerConfig& c) { c.faults.silence = 2; }, RESULT_OK, 200 + 2000,
                  200 + 2100},
        FaultCase{"NakAlways", [](ScannerConfig& c) { c.faults.nak = kAlways; }, RESULT_SCANNER_ERROR, 200, 260},
        FaultCase{"NakTwiceThenAck",
                  [](ScannerConfig& c) {
                      c.faults.nak = 2;
                      c.faults.target = 'V';
                  },
                  RESULT_OK, 200, 300},
        FaultCase{"Bel", [](ScannerConfig& c) { c.faults.bel = 1; }, RESULT_FLASH_ERROR, 200, 230},
        FaultCase{"StrayByte", [](ScannerConfig& c) { c.faults.stray = 1; }, RESULT_SCANNER_ERROR, 200, 230},
        FaultCase{"BadChecksumOnce", [](ScannerConfig& c) { c.faults.badChecksum = 1; }, RESULT_OK, 200, 300},
        FaultCase{"BadChecksumAlways", [](ScannerConfig& c) { c.faults.badChecksum = kAlways; },
                  RESULT_NO_RESPONSE, 200, 300},
        FaultCase{"ReplyInPieces",
                  [](ScannerConfig& c) {
                      c.faults.splitAt = 2;
                      c.faults.pieceGapMs = 600;
                  },
                  RESULT_OK, 200 + 600, 200 + 700},
        FaultCase{"ReplyInPiecesTooLate",
                  [](ScannerConfig& c) {
                      c.faults.splitAt = 2;
                      c.faults.pieceGapMs = 1100;
                  },
                  RESULT_NO_RESPONSE, 200 + 1000, 200 + 1100},
        FaultCase{"ReplyTooSlow", [](ScannerConfig& c) { c.faults.slowReplyMs = 1500; }, RESULT_NO_RESPONSE,
                  200 + 1000, 200 + 1100},
        // The scanner's ACK comes back where the echo belongs.
        FaultCase{"NoEcho", [](ScannerConfig& c) { c.faults.noEcho = true; }, RESULT_READBACK_FAILED, 200, 210},
        FaultCase{"NoEchoNoScanner",
                  [](ScannerConfig& c) {
                      c.faults.noEcho = true;
                      c.faults.silence = kAlways;
                  },
                  RESULT_READBACK_FAILED, 200 + 1000, 200 + 1010},
        FaultCase{"WrongEcho", [](ScannerConfig& c) { c.faults.wrongEcho = true; }, RESULT_READBACK_FAILED, 200,
                  210},
        // The echo gets through; junk arrives where the ACK belongs.
        FaultCase{"Babble", [](ScannerConfig& c) { c.faults.babble = 5000; }, RESULT_SCANNER_ERROR, 200, 210},
        // Gone as the ENQ arrives: the echo never comes.
        FaultCase{"HangUpAtTheEnq", [](ScannerConfig& c) { c.faults.hangupAfter = 1; }, RESULT_READBACK_FAILED,
                  200 + 1000, 200 + 1010},
        // Gone as the VERSION arrives: its echo never comes.
        FaultCase{"HangUpAtTheVersion", [](ScannerConfig& c) { c.faults.hangupAfter = 2; }, RESULT_READBACK_FAILED,
                  200 + 1000, 200 + 1010}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
