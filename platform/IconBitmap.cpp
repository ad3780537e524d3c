#include "IconBitmap.h"

#include <cstdlib>
#include <limits>

namespace platform {

namespace {

constexpr std::uint32_t HEADER_SIZE = 40;  // BITMAPINFOHEADER
constexpr int BITS_PER_PIXEL = 4;

void PutLittle16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLittle32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    PutLittle16(out, static_cast<std::uint16_t>(value));
    PutLittle16(out, static_cast<std::uint16_t>(value >> 16));
}

// Bytes of one row of `bits`-bit pixels, padded to a multiple of four.
std::size_t RowBytes(int width, int bits)
{
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> IconDib(const IconImage& image)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256 ||
        image.rows.size() != static_cast<std::size_t>(image.height)) {
        return std::nullopt;
    }
    const std::size_t colourRow = RowBytes(image.width, BITS_PER_PIXEL);
    const std::size_t maskRow = RowBytes(image.width, 1);
    const std::size_t rows = static_cast<std::size_t>(image.height);
    std::vector<std::uint8_t> colour(colourRow * rows, 0);
    std::vector<std::uint8_t> mask(maskRow * rows, 0);

    for (std::size_t y = 0; y < rows; ++y) {
        const std::string_view row = image.rows[y];
        if (row.size() != static_cast<std::size_t>(image.width)) {
            return std::nullopt;
        }
        const std::size_t line = rows - 1 - y;  // bottom-up
        for (std::size_t x = 0; x < row.size(); ++x) {
            const int index = IconColourIndex(row[x]);
            if (index == -2) {
                return std::nullopt;
            }
            if (index < 0) {
                mask[line * maskRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                continue;
            }
            // The first pixel of a byte is its high nibble.
            const int shift = x % 2 == 0 ? 4 : 0;
            colour[line * colourRow + x / 2] |= static_cast<std::uint8_t>(index << shift);
        }
    }

    std::vector<std::uint8_t> dib;
    PutLittle32(dib, HEADER_SIZE);
    PutLittle32(dib, static_cast<std::uint32_t>(image.width));
    PutLittle32(dib, static_cast<std::uint32_t>(image.height * 2));  // colour and mask
    PutLittle16(dib, 1);                                              // planes
    PutLittle16(dib, BITS_PER_PIXEL);
    PutLittle32(dib, 0);  // BI_RGB
    PutLittle32(dib, static_cast<std::uint32_t>(colour.size() + mask.size()));
    PutLittle32(dib, 0);  // pixels per metre, across and down
    PutLittle32(dib, 0);
    PutLittle32(dib, 0);  // colours used: all 16
    PutLittle32(dib, 0);  // important colours: all
    for (const std::uint32_t rgb : ICON_PALETTE) {
        dib.push_back(static_cast<std::uint8_t>(rgb));  // blue, green, red, reserved
        dib.push_back(static_cast<std::uint8_t>(rgb >> 8));
        dib.push_back(static_cast<std::uint8_t>(rgb >> 16));
        dib.push_back(0);
    }
    dib.insert(dib.end(), colour.begin(), colour.end());
    dib.insert(dib.end(), mask.begin(), mask.end());
    return dib;
}

int IconColourIndex(char pixel)
{
    if (pixel == '.') {
        return -1;
    }
    if (pixel >= '0' && pixel <= '9') {
        return pixel - '0';
    }
    if (pixel >= 'A' && pixel <= 'F') {
        return pixel - 'A' + 10;
    }
    return -2;
}

const IconImage* ImageNearest(const IconResource& icon, int size)
{
    const IconImage* best = nullptr;
    int bestDistance = std::numeric_limits<int>::max();
    for (const IconImage& image : icon.images) {
        const int distance = std::abs(image.width - size);
        if (distance < bestDistance || (distance == bestDistance && best != nullptr && image.width > best->width)) {
            best = &image;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace platform
