#pragma once

#include "ResourceTypes.h"

#include <cstdint>
#include <optional>
#include <vector>

// An icon picture in the layout Windows keeps inside .ico files and icon
// resources: a BITMAPINFOHEADER of doubled height, the 16-colour palette,
// the colour pixels at 4 bits each and the 1-bit transparency mask, both
// bottom-up with rows padded to 32 bits. The resource generator writes it
// into the program's .ico; the Win32 window system turns it into an icon
// handle with CreateIconFromResourceEx. Plain bytes, no Windows headers.
namespace platform {

// The palette index that one pixel character of IconImage::rows picks, -1
// for a transparent pixel ('.'), -2 for a character outside the palette.
int IconColourIndex(char pixel);

// The picture's bytes, or nothing when a row does not match the size or a
// pixel is outside the palette. Transparent pixels are colour 0 with the
// mask bit set, so the picture shows through nothing behind it.
std::optional<std::vector<std::uint8_t>> IconDib(const IconImage& image);

// The picture closest to `size` pixels square (the larger one on a tie),
// or null when the icon has none.
const IconImage* ImageNearest(const IconResource& icon, int size);

}  // namespace platform
