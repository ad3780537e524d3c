// Wire forms, lengths and validity of the protocol's requests, and the
// queue that owns them.
#include "protocol/CPacket.h"
#include "protocol/Protocol.h"
#include "protocol/UpdaterState.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using testing::ElementsAreArray;

namespace {

struct PacketCase {
    const char* name;
    PacketType type;
    int folder;
    int address;
    int count;
    std::vector<std::uint8_t> payload;
    int wantReplyLength;
    std::vector<std::uint8_t> wantBytes;  // empty: invalid, no wire form
};

CPacket Make(const PacketCase& c)
{
    CPacket p(c.type);
    p.m_nFolder = c.folder;
    p.m_nAddress = c.address;
    p.m_nCount = c.count;
    if (!c.payload.empty()) {
        p.m_pData = std::make_unique<std::uint8_t[]>(c.payload.size());
        std::copy(c.payload.begin(), c.payload.end(), p.m_pData.get());
    }
    return p;
}

const PacketCase kCases[] = {
    {"ACK", PACKET_ACK, -1, -1, -1, {}, 0, {0x06}},
    {"NAK", PACKET_NAK, -1, -1, -1, {}, 0, {0x15}},
    {"ENQ", PACKET_ENQ, -1, -1, -1, {}, 1, {0x05}},
    {"VERSION", PACKET_VERSION, 99, 99, 99, {}, 5, {0x56}},
    {"ERASE folder 0", PACKET_ERASE, 0, -1, -1, {}, 1, {0x02, 0x45, 0x30, 0x03, 0x78}},
    {"ERASE folder 10", PACKET_ERASE, 10, -1, -1, {}, 1, {0x02, 0x45, 0x3A, 0x03, 0x82}},
    {"READ f1 0x0100 16", PACKET_READ, 1, 0x0100, 16, {}, 19, {0x02, 0x52, 0x31, 0x01, 0x00, 0x00, 0x10, 0x03, 0x97}},
    {"READ checksum wraps", PACKET_READ, 0, 0x7F00, 192, {}, 195,
     {0x02, 0x52, 0x30, 0x7F, 0x00, 0x00, 0xC0, 0x03, 0xC4}},
    {"READ last byte", PACKET_READ, 0, 32703, 1, {}, 4, {0x02, 0x52, 0x30, 0x7F, 0xBF, 0x00, 0x01, 0x03, 0xC4}},
    {"READ whole folder", PACKET_READ, 0, 0, 32704, {}, 32707,
     {0x02, 0x52, 0x30, 0x00, 0x00, 0x7F, 0xC0, 0x03, 0xC4}},
    {"WRITE f2 256", PACKET_WRITE, 2, -1, 256, {}, 1, {0x02, 0x57, 0x32, 0x01, 0x00, 0x03, 0x8D}},
    {"WRITE max, address ignored", PACKET_WRITE, 2, 5, 32704, {}, 1, {0x02, 0x57, 0x32, 0x7F, 0xC0, 0x03, 0xCB}},
    {"DATA 01 02 03", PACKET_DATA, -1, -1, 3, {1, 2, 3}, 1, {0x02, 0x01, 0x02, 0x03, 0x03, 0x09}},
    {"DATA empty", PACKET_DATA, -1, -1, 0, {}, 1, {0x02, 0x03, 0x03}},
    // Invalid: no wire form, both lengths 0.
    {"READ past the folder", PACKET_READ, 0, 32703, 2, {}, 0, {}},
    {"READ count 32705", PACKET_READ, 0, 0, 32705, {}, 0, {}},
    {"READ default address", PACKET_READ, 1, -1, 16, {}, 0, {}},
    {"READ count 0", PACKET_READ, 1, 0, 0, {}, 0, {}},
    {"READ default folder", PACKET_READ, -1, 0, 1, {}, 0, {}},
    {"ERASE folder 11", PACKET_ERASE, 11, -1, -1, {}, 0, {}},
    {"WRITE count 0", PACKET_WRITE, 1, -1, 0, {}, 0, {}},
    {"WRITE count 32705", PACKET_WRITE, 1, -1, 32705, {}, 0, {}},
    {"WRITE negative count", PACKET_WRITE, 1, -1, -5, {}, 0, {}},
    {"REPLY", PACKET_REPLY, 0, 0, 1, {}, 0, {}},
    {"out of range kind", static_cast<PacketType>(42), 0, 0, 1, {}, 0, {}},
    // A negative DATA count would frame outside its own buffer.
    {"DATA negative count", PACKET_DATA, -1, -1, -2, {}, 0, {}},
};

TEST(PacketTest, WireFormsLengthsAndValidity)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const CPacket p = Make(c);
        EXPECT_EQ(p.RequestLength(), static_cast<int>(c.wantBytes.size()));
        EXPECT_EQ(p.ReplyLength(), c.wantReplyLength);
        const auto bytes = p.Encode();
        if (c.wantBytes.empty()) {
            EXPECT_EQ(bytes, nullptr);
        } else {
            ASSERT_NE(bytes, nullptr);
            EXPECT_THAT(std::vector<std::uint8_t>(bytes.get(), bytes.get() + c.wantBytes.size()),
                        ElementsAreArray(c.wantBytes));
        }
    }
}

TEST(PacketTest, DataCarriesAWholeFolderAtMost)
{
    // What one WRITE announces, one DATA must be able to carry.
    CPacket data(PACKET_DATA);
    data.m_nCount = FOLDER_SIZE;
    data.m_pData = std::make_unique<std::uint8_t[]>(FOLDER_SIZE + 1);
    EXPECT_EQ(data.RequestLength(), FOLDER_SIZE + 3);
    EXPECT_NE(data.Encode(), nullptr);
    data.m_nCount = FOLDER_SIZE + 1;
    EXPECT_EQ(data.RequestLength(), 0);
}

TEST(PacketTest, NewPacketDefaults)
{
    const CPacket p(PACKET_ENQ);
    EXPECT_EQ(p.m_nFolder, -1);
    EXPECT_EQ(p.m_nAddress, -1);
    EXPECT_EQ(p.m_nCount, -1);
    EXPECT_EQ(p.m_pData, nullptr);
    EXPECT_EQ(p.m_nRetries, 0);
    EXPECT_EQ(p.m_nRetryLimit, 3);
}

TEST(PacketTest, FrameCheck)
{
    const std::vector<std::uint8_t> good{0x02, 0x01, 0x94, 0x03, 0x98};
    EXPECT_TRUE(FrameIsGood(good));
    auto badSum = good;
    badSum[4] ^= 1;
    auto noStx = good;
    noStx[0] = 0x15;
    auto noEtx = good;
    noEtx[3] = 0x04;
    noEtx[4] = 0x99;
    EXPECT_FALSE(FrameIsGood(badSum));
    EXPECT_FALSE(FrameIsGood(noStx));
    EXPECT_FALSE(FrameIsGood(noEtx));

    // The shortest frame has an empty body; anything shorter is no frame.
    EXPECT_TRUE(FrameIsGood(std::vector<std::uint8_t>{0x02, 0x03, 0x03}));
    EXPECT_FALSE(FrameIsGood(std::vector<std::uint8_t>{0x03, 0x03}));
}

TEST(PacketTest, ClearingTheQueueDeletesEveryPacket)
{
    CUpdaterState state;
    state.ClearPacketQueue();
    EXPECT_TRUE(state.m_packets.empty());

    state.m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
    state.m_packets.push_back(nullptr);
    state.m_packets.push_back(std::make_unique<CPacket>(PACKET_VERSION));
    state.ClearPacketQueue();
    EXPECT_TRUE(state.m_packets.empty());  // leaks would show under the sanitizer build
}

}  // namespace
