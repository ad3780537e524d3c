#include "platform/System.h"

#include "Win32CommPorts.h"
#include "Win32Text.h"

#include "Win32Api.h"

#include <filesystem>

namespace platform {

using win32::Utf8;

CommPorts& SystemPorts()
{
    return win32::SystemPorts();
}

std::string ExecutableName(const std::string& fallback)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return fallback;
    }
    // Converted by hand: the library's narrow path would throw on a name
    // outside the ANSI code page.
    return Utf8(std::filesystem::path(path).stem().wstring());
}

}  // namespace platform
