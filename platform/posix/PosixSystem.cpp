#include "platform/System.h"

#include "PosixCommPorts.h"

#include <filesystem>
#include <system_error>

namespace platform {

CommPorts& SystemPorts()
{
    return posix::SystemPorts();
}

std::string ExecutableName(const std::string& fallback)
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? fallback : exe.stem().string();
}

}  // namespace platform
