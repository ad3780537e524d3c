// The scanner model as the PC sees it through the fake line, in virtual time.

#include "support/SimLine.h"

#include "protocol/Protocol.h"
#include "sim/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

namespace {

using sim::ScannerConfig;
using sim::ScannerFaults;
using test::Bytes;
using test::HexBytes;
using test::SimLine;

// Requests sent on an idle line and what came back within a second of
// each: the cable's echo first, then the scanner's answer. '|' separates
// writes that wait for their answer.
struct ExchangeCase {
    const char* name;
    std::function<void(ScannerConfig&)> setup;
    const char* send;
    const char* expect;
};

void PrintTo(const ExchangeCase& c, std::ostream* os)
{
    *os << c.name;
}

class Exchange : public testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchange, AnswersAsTheProtocolSays)
{
    ScannerConfig config;
    if (GetParam().setup) {
        GetParam().setup(config);
    }
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    std::vector<std::uint8_t> received;
    std::string steps = GetParam().send;
    for (std::size_t start = 0; start <= steps.size();) {
        const std::size_t bar = std::min(steps.find('|', start), steps.size());
        ASSERT_TRUE(line.Send(Bytes(steps.substr(start, bar - start))));
        const auto got = line.Collect(1000);
        received.insert(received.end(), got.begin(), got.end());
        start = bar + 1;
    }
    EXPECT_EQ(HexBytes(received), GetParam().expect);
}

const auto kAlways = ScannerFaults::kAlways;

INSTANTIATE_TEST_SUITE_P(
    Normal, Exchange,
    testing::Values(
        ExchangeCase{"Enq", nullptr, "05", "05 06"},
        ExchangeCase{"Version", nullptr, "56", "56 06 02 01 13 03 17"},
        ExchangeCase{"VersionFactory",
                     [](ScannerConfig& c) {
                         c.version = 0x14;
                         c.factory = true;
                     },
                     "56", "56 06 02 01 94 03 98"},
        ExchangeCase{"Read", nullptr, "02 52 31 01 00 00 04 03 8B",
                     "02 52 31 01 00 00 04 03 8B 06 02 11 12 13 14 03 4D"},
        ExchangeCase{"ReadLastByteOfFolder", nullptr, "02 52 30 7F BF 00 01 03 C4",
                     "02 52 30 7F BF 00 01 03 C4 06 02 BF 03 C2"},
        ExchangeCase{"ReadPastFolderEnd", nullptr, "02 52 30 7F BF 00 02 03 C5",
                     "02 52 30 7F BF 00 02 03 C5 15"},
        ExchangeCase{"ReadBadChecksum", nullptr, "02 52 31 01 00 00 04 03 8C",
                     "02 52 31 01 00 00 04 03 8C 15"},
        ExchangeCase{"WriteThenData", nullptr, "02 57 32 00 03 03 8F | 02 01 02 03 03 09",
                     "02 57 32 00 03 03 8F 06 02 01 02 03 03 09 06"},
        ExchangeCase{"DataBadChecksumIsRefused", nullptr, "02 57 32 00 03 03 8F | 02 01 02 03 03 0A",
                     "02 57 32 00 03 03 8F 06 02 01 02 03 03 0A 15"},
        ExchangeCase{"EraseFolder10", nullptr, "02 45 3A 03 82", "02 45 3A 03 82 06"},
        ExchangeCase{"EraseFolder11", nullptr, "02 45 3B 03 83", "02 45 3B 03 83 15"},
        ExchangeCase{"UnknownFrameKind", nullptr, "02 5A", "02 5A 15"},
        ExchangeCase{"UnknownByte", nullptr, "41", "41 15"},
        ExchangeCase{"UnaskedAckIsIgnored", nullptr, "06", "06"},
        ExchangeCase{"Silence", [](ScannerConfig& c) { c.faults.silence = kAlways; }, "05", "05"},
        ExchangeCase{"NakTwice", [](ScannerConfig& c) { c.faults.nak = 2; }, "05 05 05", "05 05 05 15 15 06"},
        ExchangeCase{"Bel", [](ScannerConfig& c) { c.faults.bel = 1; }, "02 45 30 03 78", "02 45 30 03 78 07"},
        ExchangeCase{"Stray", [](ScannerConfig& c) { c.faults.stray = 1; }, "05", "05 00"},
        ExchangeCase{"NoEcho", [](ScannerConfig& c) { c.faults.noEcho = true; }, "56", "06 02 01 13 03 17"},
        ExchangeCase{"WrongEcho", [](ScannerConfig& c) { c.faults.wrongEcho = true; }, "05", "04 06"},
        ExchangeCase{"TargetedFaultSparesOthers",
                     [](ScannerConfig& c) {
                         c.faults.nak = kAlways;
                         c.faults.target = 'V';
                     },
                     "05 56", "05 56 06 15"},
        ExchangeCase{"SlowReplyMissesTheSecond",
                     [](ScannerConfig& c) { c.faults.slowReplyMs = 1500; }, "56", "56 06"},
        ExchangeCase{"SlowAck", [](ScannerConfig& c) { c.faults.slowAckMs = 1200; }, "05", "05"}),
    [](const testing::TestParamInfo<ExchangeCase>& info) { return std::string(info.param.name); });

TEST(ScannerModel, RecordsDecodedRequests)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05 56 02 52 31 01 00 00 10 03 97")));
    line.Collect(100);
    ASSERT_TRUE(line.Send(Bytes("06")));
    line.Collect(100);

    const auto& requests = line.model.Record().requests;
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].kind, sim::RequestKind::Enq);
    EXPECT_EQ(requests[1].kind, sim::RequestKind::Version);
    EXPECT_EQ(requests[2].kind, sim::RequestKind::Read);
    EXPECT_EQ(requests[2].folder, 1);
    EXPECT_EQ(requests[2].address, 0x100);
    EXPECT_EQ(requests[2].count, 16);
    EXPECT_TRUE(requests[2].good);
    EXPECT_EQ(requests[2].answer, ACK);
    EXPECT_EQ(line.model.Record().pcAnswers, std::vector<std::uint8_t>{ACK});
}

TEST(ScannerModel, BadChecksumThenGoodReplyOnThePcsNak)
{
    ScannerConfig config;
    config.faults.badChecksum = 1;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("56")));
    const auto first = line.Collect(100);
    EXPECT_EQ(HexBytes(first), "56 06 02 01 13 03 18");
    EXPECT_FALSE(FrameIsGood(std::span(first).subspan(2)));

    ASSERT_TRUE(line.Send(Bytes("15")));
    EXPECT_EQ(HexBytes(line.Collect(100)), "15 02 01 13 03 17");
    ASSERT_TRUE(line.Send(Bytes("06")));
    EXPECT_EQ(HexBytes(line.Collect(100)), "06");
    EXPECT_EQ(line.model.Record().pcAnswers, (std::vector<std::uint8_t>{NAK, ACK}));
}

TEST(ScannerModel, ReplyInPiecesArrivesAtTheGivenGap)
{
    ScannerConfig config;
    config.faults.splitAt = 2;
    config.faults.pieceGapMs = 300;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("56")));
    EXPECT_EQ(HexBytes(line.Collect(250)), "56 06 02 01");
    EXPECT_EQ(HexBytes(line.Collect(100)), "13 03 17");
}

TEST(ScannerModel, AnswersAfterItsLatencyAndAtLineRate)
{
    ScannerConfig config;
    config.latencyMs = 30;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05")));
    EXPECT_EQ(line.First(1000), ENQ);  // the echo, within a character time
    EXPECT_EQ(line.First(1000), ACK);
    EXPECT_EQ(line.clock.Now(), 31u);  // a character in, 30 ms, a character out

    // READ of 1000 bytes: 9 echoed, the ACK, then 1003 bytes taking 522 ms.
    ASSERT_TRUE(line.Send(Bytes("02 52 30 00 00 03 E8 03 70")));
    const auto early = line.Collect(500);
    EXPECT_LT(early.size(), 1013u);
    EXPECT_EQ(early.size() + line.Collect(100).size(), 1013u);
}

TEST(ScannerModel, PartialFrameIsDroppedAfterAPause)
{
    SimLine line;
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("02 52 31")));
    line.clock.Advance(600);
    ASSERT_TRUE(line.Send(Bytes("05")));
    EXPECT_EQ(HexBytes(line.Collect(100)), "02 52 31 05 06");
}

TEST(ScannerModel, BabbleFloodsTheLine)
{
    ScannerConfig config;
    config.faults.babble = 300;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05")));
    const auto got = line.Collect(1000);
    EXPECT_EQ(got.size(), 1u + 300u + 1u);  // echo, flood, then the ACK
    EXPECT_EQ(got.back(), ACK);
}

TEST(ScannerModel, HangsUpAfterTheGivenByteCount)
{
    ScannerConfig config;
    config.faults.hangupAfter = 2;
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05")));
    EXPECT_EQ(HexBytes(line.Collect(100)), "05 06");
    EXPECT_FALSE(line.model.HungUp(line.clock.Now()));
    ASSERT_TRUE(line.Send(Bytes("56")));
    EXPECT_TRUE(line.model.HungUp(line.clock.Now() + 1));
    EXPECT_TRUE(line.model.Record().hungUp);
    EXPECT_EQ(line.model.Record().requests.size(), 2u);
}

// --- update mode ------------------------------------------------------------------

ScannerConfig UpdateMode()
{
    ScannerConfig config;
    config.mode = sim::ScannerMode::Update;
    return config;
}

// The header for `length` image bytes, as the PC builds it.
std::vector<std::uint8_t> Header(unsigned length)
{
    const auto hi = static_cast<std::uint8_t>(length >> 9);
    const auto lo = static_cast<std::uint8_t>((length >> 1) & 0xFF);
    return {'f', STX, hi, lo, ETX, static_cast<std::uint8_t>(hi + lo + ETX)};
}

TEST(ScannerModelUpdate, SyncsThenCapturesAndChecksTheImage)
{
    SimLine line(UpdateMode());
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(line.First(2000), 'U');
    EXPECT_EQ(line.clock.Now(), 200u);

    std::vector<std::uint8_t> image(2001);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    ASSERT_TRUE(line.Send(Header(2001)));
    for (std::size_t at = 0; at < image.size(); at += 100) {
        const auto end = std::min(image.size(), at + 100);
        ASSERT_TRUE(line.Send(std::vector<std::uint8_t>(image.begin() + at, image.begin() + end)));
        line.Collect(100);
    }

    const auto& r = line.model.Record();
    EXPECT_EQ(HexBytes(r.header), "66 02 03 E8 03 EE");
    EXPECT_TRUE(r.headerGood);
    EXPECT_EQ(r.headerWords, 1000u);
    EXPECT_EQ(r.imageBytes, 2001u);  // the odd byte streams all the same
    EXPECT_TRUE(line.model.ImageComplete());
    EXPECT_EQ(line.model.FirstDifference(image), std::nullopt);

    auto changed = image;
    changed[1500] ^= 0xFF;
    EXPECT_EQ(line.model.FirstDifference(changed), 1500u);
    EXPECT_EQ(line.model.FirstDifference(std::span(image).first(2000)), 2000u);

    sim::Sha256 digest;
    digest.Update(image);
    EXPECT_EQ(line.model.ImageDigest(), digest.Hex());
    line.model.SetExpectedImage(image);
    const auto summary = line.model.Summary();
    EXPECT_NE(std::find(summary.begin(), summary.end(), "image matches the expected payload (2001 bytes)"),
              summary.end());
}

TEST(ScannerModelUpdate, BadHeaderIsRefusedAndSyncResumes)
{
    SimLine line(UpdateMode());
    ASSERT_TRUE(line.Open());
    ASSERT_EQ(line.First(2000), 'U');
    ASSERT_TRUE(line.Send(Bytes("66 02 00 02 03 00")));
    line.Collect(10);
    EXPECT_EQ(line.model.Record().badHeaders, 1);
    EXPECT_FALSE(line.model.Record().headerGood);
    EXPECT_EQ(line.First(1000), 'U');
    ASSERT_TRUE(line.Send(Bytes("66 02 00 02 03 05 61 62 63 64")));
    line.Collect(10);
    EXPECT_TRUE(line.model.ImageComplete());
    EXPECT_EQ(line.model.ImageDigest(), "88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589");
}

TEST(ScannerModelUpdate, SyncsSentWhileClosedAreLost)
{
    SimLine line(UpdateMode());
    line.clock.Advance(5000);
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(HexBytes(line.Collect(199)), "");
    EXPECT_EQ(HexBytes(line.Collect(2)), "55");
}

struct SyncCase {
    const char* name;
    std::function<void(ScannerConfig&)> setup;
    const char* expect;  // within the PC's window: 100 ms pause + 2000 ms
};

void PrintTo(const SyncCase& c, std::ostream* os)
{
    *os << c.name;
}

class Sync : public testing::TestWithParam<SyncCase> {};

TEST_P(Sync, WithinThePcsWindow)
{
    ScannerConfig config = UpdateMode();
    GetParam().setup(config);
    SimLine line(config);
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(HexBytes(line.Collect(2100)), GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    Update, Sync,
    testing::Values(SyncCase{"Repeated", [](ScannerConfig&) {}, "55 55 55 55"},
                    SyncCase{"Once", [](ScannerConfig& c) { c.syncRepeatMs = 0; }, "55"},
                    SyncCase{"Noise", [](ScannerConfig& c) {
                                 c.faults.syncNoise = 2;
                                 c.syncRepeatMs = 0;
                             }, "A0 A7 55"},
                    SyncCase{"Late", [](ScannerConfig& c) { c.syncDelayMs = 2500; }, ""},
                    SyncCase{"None", [](ScannerConfig& c) { c.faults.noSync = true; }, ""}),
    [](const testing::TestParamInfo<SyncCase>& info) { return std::string(info.param.name); });

TEST(ScannerModelAuto, TurnsToUpdateModeOnlyAfterACompletedTest)
{
    ScannerConfig config;
    config.mode = sim::ScannerMode::Auto;
    SimLine line(config);

    // A test that never got its VERSION reply acknowledged changes nothing.
    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05 56")));
    line.Collect(100);
    line.Close();
    EXPECT_FALSE(line.model.InUpdateMode());

    ASSERT_TRUE(line.Open());
    ASSERT_TRUE(line.Send(Bytes("05 56")));
    line.Collect(100);
    ASSERT_TRUE(line.Send(Bytes("06")));
    line.Collect(100);
    line.Close();
    EXPECT_TRUE(line.model.InUpdateMode());

    line.clock.Advance(10'000);  // unplug, replug, restart in update mode
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(line.First(2000), 'U');
    ASSERT_TRUE(line.Send(Bytes("05")));  // a request now gets only the echo
    EXPECT_EQ(HexBytes(line.Collect(100)), "05");
}

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(sim::Sha256().Hex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    sim::Sha256 many;
    const std::vector<std::uint8_t> a(1000, 'a');
    many.Update(std::span(a).first(63));  // across block boundaries
    many.Update(std::span(a).subspan(63));
    EXPECT_EQ(many.Hex(), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

}  // namespace
