#pragma once

#include "../ResourceTypes.h"

struct HICON__;

// Icon handles drawn from the program's icon data (16 colours and a
// transparency mask), so a backend needs no icon resource in its module.
namespace platform::win32 {

// An icon of `size` pixels square from the picture of `icon` closest to
// that size; null when the icon has no usable picture. The caller destroys
// it with DestroyIcon.
HICON__* CreateIconOf(const IconResource& icon, int size);

}  // namespace platform::win32
