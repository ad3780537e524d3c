#include "platform/IconBitmap.h"
#include "resources/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using platform::IconDib;
using platform::IconImage;

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TEST(IconBitmap, LaysOutColourAndMaskBottomUpWithPaddedRows)
{
    // Three pixels wide, so both planes need padding; '.' is transparent.
    constexpr std::string_view rows[] = {"9.A", ".F."};
    const auto dib = IconDib(IconImage{.width = 3, .height = 2, .rows = rows});
    ASSERT_TRUE(dib.has_value());

    // Header: size 40, width 3, height doubled, 1 plane, 4 bits, no compression.
    EXPECT_EQ(Little32(*dib, 0), 40u);
    EXPECT_EQ(Little32(*dib, 4), 3u);
    EXPECT_EQ(Little32(*dib, 8), 4u);
    EXPECT_EQ(dib->at(12) | (dib->at(13) << 8), 1);
    EXPECT_EQ(dib->at(14) | (dib->at(15) << 8), 4);
    EXPECT_EQ(Little32(*dib, 16), 0u);
    EXPECT_EQ(Little32(*dib, 20), 2u * 4 + 2u * 4);  // two padded rows in each plane

    // The palette as blue, green, red, 0: colour 9 is red, 12 blue.
    const std::size_t palette = 40;
    EXPECT_EQ(std::vector<std::uint8_t>(dib->begin() + palette + 9 * 4, dib->begin() + palette + 10 * 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(std::vector<std::uint8_t>(dib->begin() + palette + 12 * 4, dib->begin() + palette + 13 * 4),
              (std::vector<std::uint8_t>{0xFF, 0x00, 0x00, 0x00}));

    // Colour plane, bottom row first, first pixel in the high nibble;
    // transparent pixels are colour 0.
    const std::size_t colour = palette + 16 * 4;
    EXPECT_EQ(std::vector<std::uint8_t>(dib->begin() + colour, dib->begin() + colour + 8),
              (std::vector<std::uint8_t>{0x0F, 0x00, 0x00, 0x00, 0x90, 0xA0, 0x00, 0x00}));
    // Mask plane: a set bit is transparent, first pixel in the top bit.
    const std::size_t mask = colour + 8;
    EXPECT_EQ(std::vector<std::uint8_t>(dib->begin() + mask, dib->end()),
              (std::vector<std::uint8_t>{0xA0, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00}));
}

TEST(IconBitmap, RefusesPicturesThatDoNotMatchTheirSizeOrPalette)
{
    constexpr std::string_view shortRow[] = {"99", "9"};
    constexpr std::string_view badPixel[] = {"9G", "99"};
    constexpr std::string_view oneRow[] = {"99"};
    EXPECT_FALSE(IconDib(IconImage{.width = 2, .height = 2, .rows = shortRow}));
    EXPECT_FALSE(IconDib(IconImage{.width = 2, .height = 2, .rows = badPixel}));
    EXPECT_FALSE(IconDib(IconImage{.width = 2, .height = 2, .rows = oneRow}));
    EXPECT_FALSE(IconDib(IconImage{.width = 0, .height = 0, .rows = {}}));
}

TEST(IconBitmap, TheProgramsIconEncodesAtBothSizes)
{
    const platform::IconResource* icon = resources::FindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    for (const int size : {32, 16}) {
        SCOPED_TRACE(size);
        const IconImage* image = platform::ImageNearest(*icon, size);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, size);
        const auto dib = IconDib(*image);
        ASSERT_TRUE(dib.has_value());
        const std::size_t colourRow = (size * 4 + 31) / 32 * 4;
        const std::size_t maskRow = (size + 31) / 32 * 4;
        EXPECT_EQ(dib->size(), 40 + 16 * 4 + size * (colourRow + maskRow));
    }
    // Between the sizes the nearer wins; a tie goes to the larger picture.
    EXPECT_EQ(platform::ImageNearest(*icon, 48)->width, 32);
    EXPECT_EQ(platform::ImageNearest(*icon, 20)->width, 16);
    EXPECT_EQ(platform::ImageNearest(*icon, 24)->width, 32);
}

}  // namespace
