#include "WxIcons.h"

#include <wx/icon.h>
#include <wx/image.h>

#include <cstdlib>
#include <limits>

namespace platform::wx {

namespace {

// The palette index of one pixel character, or -1 for transparent.
int ColourIndex(char pixel)
{
    if (pixel >= '0' && pixel <= '9') {
        return pixel - '0';
    }
    if (pixel >= 'A' && pixel <= 'F') {
        return pixel - 'A' + 10;
    }
    return -1;
}

}  // namespace

wxBitmap BitmapOf(const IconImage& image)
{
    if (image.width <= 0 || image.height <= 0) {
        return wxBitmap();
    }
    wxImage picture(image.width, image.height);
    picture.InitAlpha();
    for (int y = 0; y < image.height; ++y) {
        const std::string_view row =
            y < static_cast<int>(image.rows.size()) ? image.rows[y] : std::string_view();
        for (int x = 0; x < image.width; ++x) {
            const int index = x < static_cast<int>(row.size()) ? ColourIndex(row[x]) : -1;
            if (index < 0) {
                picture.SetRGB(x, y, 0, 0, 0);
                picture.SetAlpha(x, y, wxIMAGE_ALPHA_TRANSPARENT);
                continue;
            }
            const std::uint32_t rgb = ICON_PALETTE[index];
            picture.SetRGB(x, y, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
            picture.SetAlpha(x, y, wxIMAGE_ALPHA_OPAQUE);
        }
    }
    return wxBitmap(picture);
}

wxIconBundle IconBundleOf(const IconResource& icon)
{
    wxIconBundle bundle;
    for (const IconImage& image : icon.images) {
        const wxBitmap bitmap = BitmapOf(image);
        if (bitmap.IsOk()) {
            wxIcon picture;
            picture.CopyFromBitmap(bitmap);
            bundle.AddIcon(picture);
        }
    }
    return bundle;
}

const IconImage* ImageNearest(const IconResource& icon, int size)
{
    const IconImage* nearest = nullptr;
    int distance = std::numeric_limits<int>::max();
    for (const IconImage& image : icon.images) {
        const int off = std::abs(image.width - size) + std::abs(image.height - size);
        if (off < distance) {
            distance = off;
            nearest = &image;
        }
    }
    return nearest;
}

}  // namespace platform::wx
