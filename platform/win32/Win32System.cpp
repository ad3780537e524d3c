#include "platform/System.h"

#include "Win32CommPorts.h"

#include "Win32Api.h"

#include <filesystem>

namespace platform {

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
    return std::filesystem::path(path).stem().string();
}

}  // namespace platform
