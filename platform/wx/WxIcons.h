#pragma once

#include "platform/ResourceTypes.h"

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

// Icon resources as wx pictures: 16 colours with a transparent background.
namespace platform::wx {

// One picture of an icon, transparent pixels with zero alpha.
wxBitmap BitmapOf(const IconImage& image);

// Every picture of the icon, for a window's large and small icon.
wxIconBundle IconBundleOf(const IconResource& icon);

}  // namespace platform::wx
