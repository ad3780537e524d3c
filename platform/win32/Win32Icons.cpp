#include "Win32Icons.h"

#include "../IconBitmap.h"

#include "Win32Api.h"

namespace platform::win32 {

namespace {

// The version of the icon format that CreateIconFromResourceEx reads.
constexpr DWORD ICON_FORMAT_VERSION = 0x00030000;

}  // namespace

HICON__* CreateIconOf(const IconResource& icon, int size)
{
    const IconImage* image = ImageNearest(icon, size);
    if (image == nullptr) {
        return nullptr;
    }
    auto dib = IconDib(*image);
    if (!dib) {
        return nullptr;
    }
    // The same bytes as the picture in the program's .ico; scaled by the
    // system when `size` is not the picture's own.
    return CreateIconFromResourceEx(dib->data(), static_cast<DWORD>(dib->size()), TRUE, ICON_FORMAT_VERSION,
                                    size, size, LR_DEFAULTCOLOR);
}

}  // namespace platform::win32
