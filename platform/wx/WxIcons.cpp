#include "WxIcons.h"

#include "platform/IconBitmap.h"

#include <wx/icon.h>
#include <wx/image.h>

namespace platform::wx {

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
            const int index = x < static_cast<int>(row.size()) ? IconColourIndex(row[x]) : -1;
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

}  // namespace platform::wx
