// vrt-icon-export: writes the program's icon (IDR_MAINFRAME) as files for the
// desktop's icon theme, so the installed icon is the one the program shows.
//
//   vrt-icon-export png SIZE FILE   the SIZE x SIZE picture as an RGBA PNG
//   vrt-icon-export svg FILE        the largest picture as SVG pixel art
//
// The PNG writer uses stored (uncompressed) deflate blocks: a 32 x 32 icon is
// 4 KiB either way, and the build needs no image library.

#include "platform/IconBitmap.h"
#include "resources/Resources.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Pixel {
    std::uint32_t rgb = 0;
    bool opaque = false;
};

std::optional<Pixel> PixelOf(char c)
{
    const int index = platform::IconColourIndex(c);
    if (index == -1) {
        return Pixel{};
    }
    if (index < 0) {
        return std::nullopt;
    }
    return Pixel{platform::ICON_PALETTE[static_cast<std::size_t>(index)], true};
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutBig32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void Chunk(Bytes& png, const char type[4], const Bytes& data)
{
    PutBig32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBig32(png, Crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored blocks.
Bytes Zlib(const Bytes& raw)
{
    Bytes z = {0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - offset, 65535);
        const bool last = offset + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n & 0xFF));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n & 0xFF));
        z.push_back(static_cast<std::uint8_t>((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                 raw.begin() + static_cast<std::ptrdiff_t>(offset + n));
        offset += n;
    } while (offset < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(z, (b << 16) | a);
    return z;
}

std::optional<Bytes> Png(const platform::IconImage& image)
{
    Bytes raw;
    for (const std::string_view row : image.rows) {
        raw.push_back(0);  // filter: none
        for (const char c : row) {
            const auto pixel = PixelOf(c);
            if (!pixel) {
                return std::nullopt;
            }
            raw.push_back(static_cast<std::uint8_t>(pixel->rgb >> 16));
            raw.push_back(static_cast<std::uint8_t>(pixel->rgb >> 8));
            raw.push_back(static_cast<std::uint8_t>(pixel->rgb));
            raw.push_back(pixel->opaque ? 0xFF : 0x00);
        }
    }

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBig32(header, static_cast<std::uint32_t>(image.width));
    PutBig32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Zlib(raw));
    Chunk(png, "IEND", {});
    return png;
}

// One rectangle per run of equal pixels in a row; crisp edges keep the
// pixel art sharp at any size.
std::optional<std::string> Svg(const platform::IconImage& image)
{
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(image.width) + "\" height=\"" + std::to_string(image.height) +
                      "\" viewBox=\"0 0 " + std::to_string(image.width) + " " + std::to_string(image.height) +
                      "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < image.height; ++y) {
        const std::string_view row = image.rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < image.width;) {
            const auto pixel = PixelOf(row[static_cast<std::size_t>(x)]);
            if (!pixel) {
                return std::nullopt;
            }
            int end = x + 1;
            while (end < image.width && row[static_cast<std::size_t>(end)] == row[static_cast<std::size_t>(x)]) {
                ++end;
            }
            if (pixel->opaque) {
                char fill[8];
                std::snprintf(fill, sizeof fill, "#%06X", static_cast<unsigned>(pixel->rgb));
                svg += "  <rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                       std::to_string(end - x) + "\" height=\"1\" fill=\"" + fill + "\"/>\n";
            }
            x = end;
        }
    }
    svg += "</svg>\n";
    return svg;
}

bool WellFormed(const platform::IconImage& image)
{
    if (image.width <= 0 || image.height <= 0 || image.rows.size() != static_cast<std::size_t>(image.height)) {
        return false;
    }
    for (const std::string_view row : image.rows) {
        if (row.size() != static_cast<std::size_t>(image.width)) {
            return false;
        }
    }
    return true;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "vrt-icon-export: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool png = args.size() == 3 && args[0] == "png";
    const bool svg = args.size() == 2 && args[0] == "svg";
    if (!png && !svg) {
        return Fail("usage: vrt-icon-export png SIZE FILE | svg FILE");
    }

    const platform::IconResource* icon = resources::FindIcon(IDR_MAINFRAME);
    if (icon == nullptr || icon->images.empty()) {
        return Fail("the program has no icon");
    }
    const platform::IconImage* image = &icon->images.front();  // largest first
    if (png) {
        image = nullptr;
        for (const platform::IconImage& candidate : icon->images) {
            if (std::to_string(candidate.width) == args[1] && candidate.width == candidate.height) {
                image = &candidate;
            }
        }
        if (image == nullptr) {
            return Fail("the icon has no " + args[1] + " x " + args[1] + " picture");
        }
    }
    if (!WellFormed(*image)) {
        return Fail("a picture of the icon does not match its size");
    }

    std::optional<Bytes> bytes;
    if (png) {
        bytes = Png(*image);
    } else if (const auto text = Svg(*image)) {
        bytes.emplace(text->begin(), text->end());
    }
    if (!bytes) {
        return Fail("a picture of the icon has a pixel outside the palette");
    }

    const std::string& path = args.back();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        std::remove(path.c_str());
        return Fail("cannot write " + path);
    }
    return 0;
}
