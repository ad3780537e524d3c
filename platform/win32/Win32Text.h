#pragma once

#include <string>
#include <string_view>

// The program's texts are UTF-8; the window system's Unicode calls take
// UTF-16. Converted here, at the seam, and nowhere else.
namespace platform::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace platform::win32
