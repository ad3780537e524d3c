// The transaction engine against a scripted scanner on the in-memory line,
// in virtual time: the normal course, every failure kind, retries and the
// bounds that keep a dead or babbling line from holding the run.
#include "platform/Services.h"
#include "platform/fake/FakeCommDevice.h"
#include "platform/fake/VirtualClock.h"
#include "protocol/Transactions.h"
#include "protocol/UpdaterState.h"
#include "serial/CSerial.h"
#include "support/ScriptedPeer.h"
#include "support/ThrowingClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing_support::ScriptedPeer;
using Bytes = std::vector<std::uint8_t>;

namespace {

// What the scanner says to one request: pieces, each after a delay counted
// from the request. No pieces: silence.
struct Answer {
    std::vector<std::pair<std::uint64_t, Bytes>> pieces;
};
Answer Say(Bytes bytes, std::uint64_t after = 2) { return {{{after, std::move(bytes)}}}; }
const Answer kSilence{};
const Bytes kVersion13{0x02, 0x01, 0x13, 0x03, 0x17};
const Bytes kVersion94{0x02, 0x01, 0x94, 0x03, 0x98};
const Bytes kBadSum{0x02, 0x01, 0x94, 0x03, 0x99};

class EngineTest : public testing::Test {
protected:
    EngineTest()
    {
        // Every write but the PC's own ACK is a request that the next answer
        // belongs to (a NAK asks for the reply again).
        peer.onReceive = [this](ScriptedPeer& p, std::span<const std::uint8_t> bytes, std::uint64_t now) {
            if (bytes.empty() || bytes[0] == 0x06 || m_answers.empty()) {
                return;
            }
            if (bytes.size() == 100) {
                return;  // a full chunk: more of the request follows
            }
            const Answer a = m_answers.front();
            m_answers.pop_front();
            for (const auto& [after, piece] : a.pieces) {
                p.Send(piece, now + after);
            }
        };
    }

    void Answers(std::initializer_list<Answer> answers) { m_answers.assign(answers); }
    void Answers(const std::vector<Answer>& answers) { m_answers.assign(answers.begin(), answers.end()); }

    void Queue(PacketType type)
    {
        state.m_packets.push_back(std::make_unique<CPacket>(type));
    }

    TransactionResult Run()
    {
        CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
        start = clock.Now();
        const TransactionResult r = RunTransactions(port, state);
        elapsed = clock.Now() - start;
        return r;
    }

    // Times at which the PC put a request starting with `first` on the line,
    // relative to the start of the run.
    std::vector<std::uint64_t> SendTimes(std::uint8_t first) const
    {
        std::vector<std::uint64_t> times;
        for (const auto& c : peer.chunks) {
            if (!c.bytes.empty() && c.bytes[0] == first) {
                times.push_back(c.at - start);
            }
        }
        return times;
    }

    platform::fake::VirtualClock clock{0xFFFFF000u};  // wraps during every run
    ScriptedPeer peer;
    platform::fake::FakeCommPorts ports{clock, peer};
    platform::ScopedServices services{clock, ports};
    CUpdaterState state;
    std::uint64_t start = 0;
    std::uint64_t elapsed = 0;

private:
    std::deque<Answer> m_answers;
};

TEST_F(EngineTest, NormalCourseDeliversTheVersion)
{
    Queue(PACKET_ENQ);
    Queue(PACKET_VERSION);
    Answers({Say({0x06}), {{{2, {0x06}}, {4, kVersion94}}}});
    EXPECT_EQ(Run(), RESULT_OK);
    EXPECT_THAT(peer.Written(), ElementsAre(0x05, 0x56, 0x06));
    EXPECT_EQ(state.m_nReplyByte1, 1);
    EXPECT_EQ(state.m_nScannerVersion, 0x14);
    EXPECT_TRUE(state.m_bFactory);
    EXPECT_TRUE(state.m_packets.empty());
    EXPECT_EQ(SendTimes(0x05).front(), 200u);  // after the settling pause

    state.m_nReplyByte1 = state.m_nScannerVersion = 0;
    peer.chunks.clear();
    Queue(PACKET_VERSION);
    Answers({{{{2, {0x06}}, {4, kVersion13}}}});
    EXPECT_EQ(Run(), RESULT_OK);
    EXPECT_EQ(state.m_nScannerVersion, 0x13);
    EXPECT_FALSE(state.m_bFactory);

    // A good READ reply is acknowledged; its data are no version.
    auto read = std::make_unique<CPacket>(PACKET_READ);
    read->m_nFolder = 0;
    read->m_nAddress = 0;
    read->m_nCount = 2;
    state.m_packets.push_back(std::move(read));
    Answers({{{{2, {0x06}}, {4, {0x02, 0x2A, 0xAB, 0x03, 0xD8}}}}});
    EXPECT_EQ(Run(), RESULT_OK);
    EXPECT_EQ(peer.Written().back(), 0x06);
    EXPECT_EQ(state.m_nReplyByte1, 1);
    EXPECT_EQ(state.m_nScannerVersion, 0x13);
    EXPECT_FALSE(state.m_bFactory);
}

TEST_F(EngineTest, SettlingPurgesWhatWasWaiting)
{
    // Whatever the line said before the port opened never arrives; this
    // comes once it is open, during the pause, up to the instant the purge
    // looks, and more than one purge piece of it. Left unread, it would
    // stand in for the echo of the ENQ.
    const std::uint64_t opened = clock.Now();
    peer.Send(Bytes(150, 0xAA), opened + 1);
    peer.Send(Bytes(100, 0xAB), opened + 200);
    Queue(PACKET_ENQ);
    Answers({Say({0x06})});
    EXPECT_EQ(Run(), RESULT_OK);
    EXPECT_THAT(peer.Written(), ElementsAre(0x05));
    // The purge reads what waits in pieces of at most 100; then the echo and the ACK.
    EXPECT_THAT(ports.Record().reads, ElementsAre(100, 100, 50, 1, 1));
}

struct FailureCase {
    const char* name;
    PacketType type;
    std::vector<Answer> answers;
    TransactionResult want;
    Bytes wantWritten;
    std::uint64_t ms;  // run length in virtual ms: every pause, poll and limit shows in it
};

TEST_F(EngineTest, FailureKindsAndRetries)
{
    const FailureCase cases[] = {
        {"silence after ENQ: three sends, a little over 3 s", PACKET_ENQ, {kSilence, kSilence, kSilence},
         RESULT_NO_RESPONSE, {0x05, 0x05, 0x05}, 200 + 3 * 1004},
        {"silence after ERASE: 10 s per wait", PACKET_ERASE, {kSilence, kSilence, kSilence}, RESULT_NO_RESPONSE,
         {0x02, 0x45, 0x30, 0x03, 0x78, 0x02, 0x45, 0x30, 0x03, 0x78, 0x02, 0x45, 0x30, 0x03, 0x78},
         200 + 3 * (2 + 10004)},
        {"silence after WRITE: 10 s per wait too", PACKET_WRITE, {kSilence, kSilence, kSilence}, RESULT_NO_RESPONSE,
         {0x02, 0x57, 0x30, 0x00, 0x01, 0x03, 0x8B, 0x02, 0x57, 0x30, 0x00, 0x01, 0x03, 0x8B, 0x02, 0x57, 0x30, 0x00,
          0x01, 0x03, 0x8B},
         200 + 3 * (3 + 10004)},
        {"NAK to each of three sends", PACKET_VERSION, {Say({0x15}), Say({0x15}), Say({0x15})},
         RESULT_SCANNER_ERROR, {0x56, 0x56, 0x56}, 212},
        {"NAK then ACK and a good reply", PACKET_VERSION, {Say({0x15}), {{{2, {0x06}}, {3, kVersion94}}}},
         RESULT_OK, {0x56, 0x56, 0x06}, 208},
        {"time-out, NAK, bad frame: the frame's kind", PACKET_VERSION,
         {kSilence, Say({0x15}), {{{2, {0x06}}, {3, kBadSum}}}}, RESULT_NO_RESPONSE, {0x56, 0x56, 0x56, 0x06}, 1212},
        {"bad frame three times: NAK, NAK, then ACK", PACKET_VERSION,
         {{{{2, {0x06}}, {3, kBadSum}}}, Say(kBadSum), Say(kBadSum)}, RESULT_NO_RESPONSE, {0x56, 0x15, 0x15, 0x06},
         212},
        {"bad frame once, then good", PACKET_VERSION, {{{{2, {0x06}}, {3, kBadSum}}}, Say(kVersion94)}, RESULT_OK,
         {0x56, 0x15, 0x06}, 208},
        {"BEL after ERASE", PACKET_ERASE, {Say({0x07})}, RESULT_FLASH_ERROR, {0x02, 0x45, 0x30, 0x03, 0x78}, 202},
        {"stray byte for the ACK", PACKET_ENQ, {Say({0x00})}, RESULT_SCANNER_ERROR, {0x05}, 204},
        {"a lone NAK where the reply begins", PACKET_VERSION, {{{{2, {0x06}}, {10, {0x15}}}}},
         RESULT_SCANNER_ERROR, {0x56}, 212},
        {"a NAK with more bytes is judged as a frame", PACKET_VERSION,
         {{{{2, {0x06}}, {10, {0x15, 0x01, 0x94, 0x03, 0x98}}}}, Say(kVersion94)}, RESULT_OK, {0x56, 0x15, 0x06},
         216},
        {"a NAK byte alone after the reply began is data", PACKET_VERSION,
         {{{{2, {0x06}}, {10, {0x02, 0x01}}, {20, {0x15}}, {30, {0x03, 0x19}}}}}, RESULT_OK, {0x56, 0x06}, 232},
        {"reply in pieces within the limit", PACKET_VERSION,
         {{{{2, {0x06}}, {300, {0x02, 0x01}}, {900, {0x94, 0x03, 0x98}}}}}, RESULT_OK, {0x56, 0x06}, 1100},
        {"reply incomplete after 1000 ms", PACKET_VERSION,
         {{{{2, {0x06}}, {300, {0x02, 0x01}}, {1100, {0x94, 0x03, 0x98}}}}}, RESULT_NO_RESPONSE, {0x56}, 204 + 1004},
        // The PC's NAK restarts the reply clock: 1200 ms after the ACK, but
        // only 600 after the NAK.
        {"a resent reply gets a fresh reply clock", PACKET_VERSION,
         {{{{2, {0x06}}, {600, kBadSum}}}, Say(kVersion94, 601)}, RESULT_OK, {0x56, 0x15, 0x06}, 1404},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.chunks.clear();
        state.ClearPacketQueue();
        Queue(c.type);
        if (c.type == PACKET_ERASE || c.type == PACKET_WRITE) {
            state.m_packets.back()->m_nFolder = 0;
            state.m_packets.back()->m_nCount = 1;  // WRITE only; ERASE has no count
        }
        Answers(c.answers);
        EXPECT_EQ(Run(), c.want);
        EXPECT_THAT(peer.Written(), ElementsAreArray(c.wantWritten));
        EXPECT_EQ(elapsed, c.ms);
        peer.ToPc(UINT64_MAX);  // drop whatever the script still had to say
    }
}

TEST_F(EngineTest, EchoOfThePcsAnswerToABadReply)
{
    // The NAK that asks for the reply again must come back; the ACK that
    // gives up on it is sent and read back, but its echo is not consulted.
    struct Case {
        int badReplies;  // then silence; the PC's answer to the last is not echoed
        TransactionResult want;
        Bytes wantWritten;
        std::uint64_t ms;
    };
    const Case cases[] = {
        {1, RESULT_READBACK_FAILED, {0x56, 0x15}, 204 + 1000},
        {3, RESULT_NO_RESPONSE, {0x56, 0x15, 0x15, 0x06}, 212 + 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.badReplies);
        int sent = 0;
        peer.echo = ScriptedPeer::Echo::Normal;
        peer.chunks.clear();
        peer.onReceive = [&](ScriptedPeer& p, std::span<const std::uint8_t> bytes, std::uint64_t now) {
            if (bytes[0] == 0x56) {
                p.Send({0x06}, now + 2);
            }
            if ((bytes[0] == 0x56 || bytes[0] == 0x15) && sent < c.badReplies) {
                p.Send(kBadSum, now + 3);
                if (++sent == c.badReplies) {
                    p.echo = ScriptedPeer::Echo::None;
                }
            }
        };
        Queue(PACKET_VERSION);
        EXPECT_EQ(Run(), c.want);
        EXPECT_THAT(peer.Written(), ElementsAreArray(c.wantWritten));
        EXPECT_EQ(elapsed, c.ms);
    }
}

TEST_F(EngineTest, LimitsHoldToTheMillisecondOffThePollGrid)
{
    // With each reading of the clock costing 1 ms the polls fall 5 ms apart
    // and off the 4 ms grid, so a limit 1 ms too long shows as well.
    clock.SetCostPerTick(1);
    struct Case {
        const char* name;
        PacketType type;
        std::vector<Answer> answers;
        TransactionResult want;
        std::uint64_t ms;
    };
    const Case cases[] = {
        {"acknowledgement, 1000 ms", PACKET_ENQ, {kSilence, kSilence, kSilence}, RESULT_NO_RESPONSE, 3221},
        {"acknowledgement, 10000 ms", PACKET_ERASE, {kSilence, kSilence, kSilence}, RESULT_NO_RESPONSE, 30224},
        // No reply byte at all: a read would shift the polls by a clock reading.
        {"reply, 1000 ms", PACKET_VERSION, {Say({0x06})}, RESULT_NO_RESPONSE, 1209},
        {"READ reply, 3000 ms", PACKET_READ, {Say({0x06})}, RESULT_NO_RESPONSE, 3212},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Queue(c.type);
        CPacket& p = *state.m_packets.back();  // each kind uses only its own fields
        p.m_nFolder = 0;
        p.m_nAddress = 0;
        p.m_nCount = 1920;
        Answers(c.answers);
        EXPECT_EQ(Run(), c.want);
        EXPECT_EQ(elapsed, c.ms);
        peer.ToPc(UINT64_MAX);
    }
}

TEST_F(EngineTest, CableFaultsFailTheReadBack)
{
    Queue(PACKET_ENQ);
    peer.echo = ScriptedPeer::Echo::None;
    EXPECT_EQ(Run(), RESULT_READBACK_FAILED);
    EXPECT_THAT(peer.Written(), ElementsAre(0x05));
    EXPECT_EQ(elapsed, 200u + 1000u);  // the echo's limit is reached at 1000 ms, not after

    Queue(PACKET_ENQ);
    peer.echo = ScriptedPeer::Echo::Wrong;
    EXPECT_EQ(Run(), RESULT_READBACK_FAILED);
    EXPECT_LE(elapsed, 210u);  // at once
}

TEST_F(EngineTest, LongRequestGoesOutInEchoedChunks)
{
    auto makeData = [] {
        auto data = std::make_unique<CPacket>(PACKET_DATA);
        data->m_nCount = 250;
        data->m_pData = std::make_unique<std::uint8_t[]>(250);
        for (int i = 0; i < 250; ++i) {
            data->m_pData[i] = static_cast<std::uint8_t>(i);
        }
        return data;
    };
    const auto wire = makeData()->Encode();
    state.m_packets.push_back(makeData());
    Answers({Say({0x06})});
    EXPECT_EQ(Run(), RESULT_OK);
    ASSERT_EQ(peer.chunks.size(), 3u);
    EXPECT_EQ(peer.chunks[0].bytes.size(), 100u);
    EXPECT_EQ(peer.chunks[1].bytes.size(), 100u);
    EXPECT_EQ(peer.chunks[2].bytes.size(), 53u);
    // Each chunk's line time passes before the next goes out.
    EXPECT_GE(peer.chunks[1].at - peer.chunks[0].at, 52u);
    EXPECT_THAT(peer.Written(), ElementsAreArray(wire.get(), 253));

    // A line that takes 30 bytes a write: only what went out is read back
    // and counted as sent, and the next chunk starts there.
    ports.Faults().shortWriteLimit = 30;
    peer.chunks.clear();
    std::size_t received = 0;
    peer.onReceive = [&](ScriptedPeer& p, std::span<const std::uint8_t> bytes, std::uint64_t now) {
        received += bytes.size();
        if (received == 253) {
            p.Send({0x06}, now + 2);
        }
    };
    state.m_packets.push_back(makeData());
    EXPECT_EQ(Run(), RESULT_OK);
    ASSERT_EQ(peer.chunks.size(), 9u);  // 8 x 30 + 13
    EXPECT_EQ(peer.chunks[8].bytes.size(), 13u);
    EXPECT_THAT(peer.Written(), ElementsAreArray(wire.get(), 253));
}

TEST_F(EngineTest, ReadReplyLimitGrowsWithTheCount)
{
    // The request's 9 bytes take 4 ms on the line and the ACK is read then,
    // at 204; the limit, count * 2000 / 1920 + 1000 ms, is exceeded at the
    // first 4 ms poll past it.
    struct Case {
        std::int32_t count;
        std::uint64_t ms;
    };
    const Case cases[] = {
        {1920, 204 + 3004},    // 3000 ms
        {32704, 204 + 35068},  // 35066 ms: the product is divided, not the count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        auto read = std::make_unique<CPacket>(PACKET_READ);
        read->m_nFolder = 0;
        read->m_nAddress = 0;
        read->m_nCount = c.count;
        state.m_packets.push_back(std::move(read));
        // ACK, then only part of the reply.
        Answers({{{{2, {0x06}}, {10, Bytes(1000, 0x11)}}}});
        EXPECT_EQ(Run(), RESULT_NO_RESPONSE);
        EXPECT_EQ(elapsed, c.ms);
    }
}

TEST_F(EngineTest, FailureLeavesTheRestQueuedAndSurplusUnread)
{
    Queue(PACKET_ENQ);
    Queue(PACKET_VERSION);
    Answers({Say({0x07})});
    EXPECT_EQ(Run(), RESULT_FLASH_ERROR);
    ASSERT_EQ(state.m_packets.size(), 1u);
    EXPECT_EQ(state.m_packets.front()->m_nType, PACKET_VERSION);

    // Only the reply's own five bytes are taken; the surplus waits in the
    // queue, where it then stands in for the echo of the PC's ACK.
    state.ClearPacketQueue();
    Queue(PACKET_VERSION);
    Bytes withSurplus = kVersion94;
    withSurplus.insert(withSurplus.end(), {0x55, 0x55});
    Answers({{{{2, {0x06}}, {3, withSurplus}}}});
    EXPECT_EQ(Run(), RESULT_READBACK_FAILED);
    EXPECT_EQ(state.m_nScannerVersion, 0x14);
}

TEST_F(EngineTest, DeadPortEndsTheRunAfterTheWriteLimit)
{
    ports.Faults().writeAcceptLimit = 0;  // every write sends nothing
    Queue(PACKET_ENQ);
    EXPECT_EQ(Run(), RESULT_READBACK_FAILED);
    EXPECT_GT(elapsed, 200u + 5000u);
    EXPECT_LE(elapsed, 200u + 10500u);

    // Writes refused at once: the engine pauses 4 ms before each new try.
    ports.Faults().writeAcceptLimit = UINT32_MAX;
    ports.Faults().writeStartFails = true;
    ports.Record().calls.clear();
    Queue(PACKET_ENQ);
    EXPECT_EQ(Run(), RESULT_READBACK_FAILED);
    EXPECT_GT(elapsed, 200u + 5000u);
    EXPECT_LE(elapsed, 200u + 10500u);
    const auto tries = std::ranges::count(ports.Record().calls, std::string("StartWrite"));
    EXPECT_EQ(static_cast<std::uint64_t>(tries) * 4, elapsed - 200);
}

// A line that always has more to say, however fast it is read.
class Babbler final : public platform::fake::LinePeer {
public:
    void FromPc(std::span<const std::uint8_t>, std::uint64_t) override {}
    std::vector<std::uint8_t> ToPc(std::uint64_t) override { return Bytes(64, 0x06); }
    std::uint64_t NextEvent(std::uint64_t now) const override { return now + 1; }
};

TEST(EngineFloodTest, EndlessFloodCannotHoldTheRun)
{
    platform::fake::VirtualClock clock;
    Babbler babbler;
    platform::fake::FakeCommPorts ports(clock, babbler);
    platform::ScopedServices services(clock, ports);
    CUpdaterState state;
    state.m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
    CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
    EXPECT_EQ(RunTransactions(port, state), RESULT_READBACK_FAILED);
}

TEST_F(EngineTest, ExceptionWhileSettlingEndsQuietly)
{
    Queue(PACKET_ENQ);
    Queue(PACKET_VERSION);
    CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
    testing_support::ThrowingClock throwing(clock);
    platform::ScopedServices scoped(throwing, ports);
    EXPECT_EQ(RunTransactions(port, state), RESULT_OK);
    EXPECT_TRUE(peer.chunks.empty());
    EXPECT_EQ(state.m_nScannerVersion, 0);
    EXPECT_EQ(state.m_packets.size(), 2u);
}

TEST(TransactionResultTextTest, Texts)
{
    EXPECT_EQ(TransactionResultText(RESULT_OK), "");
    EXPECT_EQ(TransactionResultText(RESULT_READBACK_FAILED),
              "Failed to read back the sent data (as expected with a functional\ncable!).\nEnsure that the selected "
              "COM port is correct, a supported cable\nis connected between the port and the scanner, and the "
              "scanner\nis turned ON.");
    EXPECT_EQ(TransactionResultText(RESULT_NO_RESPONSE),
              "No response (or incomplete response) from the scanner.\nEnsure that the selected COM port is correct, "
              "a supported cable\nis connected between the port and the scanner, and the scanner\nis turned ON.");
    EXPECT_EQ(TransactionResultText(RESULT_SCANNER_ERROR),
              "Received an error message from the scanner. Retrying the\noperation may be successful.");
    EXPECT_EQ(TransactionResultText(RESULT_FLASH_ERROR),
              "The scanner reports an error while attempting to write a\nfolder's flash memory space. Retrying the "
              "operation may\nbe successful.");
}

}  // namespace
