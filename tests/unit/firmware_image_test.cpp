#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<std::uint8_t> ReadAsset()
{
    std::ifstream file(VRT_SOURCE_DIR "/firmware/dsp-1.4.bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(FirmwareImage, HeaderBytesAreVersionReservedAndLittleEndianLength)
{
    std::uint8_t header[4];
    std::memcpy(header, &g_firmwareImage, sizeof header);

    EXPECT_EQ(header[0], 0x14);
    EXPECT_EQ(header[1], 0x00);
    EXPECT_EQ(header[2], 0x9E);
    EXPECT_EQ(header[3], 0x69);
    EXPECT_EQ(g_firmwareImage.length, 27038);
}

TEST(FirmwareImage, PayloadIsTheAssetFollowedByZeros)
{
    const std::vector<std::uint8_t> asset = ReadAsset();
    ASSERT_EQ(asset.size(), 27038u);
    ASSERT_EQ(asset.size(), g_firmwareImage.length);

    const std::uint8_t* payload = g_firmwareImage.payload;
    EXPECT_TRUE(std::equal(asset.begin(), asset.end(), payload));
    EXPECT_TRUE(std::all_of(payload + asset.size(), payload + sizeof g_firmwareImage.payload,
                            [](std::uint8_t byte) { return byte == 0; }));
}

}  // namespace
