#include "WinePrefix.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace testing_support {

WinePrefix::WinePrefix()
{
    std::ifstream state(VRT_WINE_STATE);
    std::string folder;
    if (!std::getline(state, folder) || !std::filesystem::is_directory(folder + "/wine")) {
        m_error = "no Wine prefix for this run (" VRT_WINE_STATE "); the windows.prefix fixture makes one";
        return;
    }
    m_folder = folder;
}

std::string WinePrefix::WindowsBuild()
{
    return VRT_WINDOWS_BUILD;
}

std::string WinePrefix::ConfigHome() const
{
    return m_folder + "/config";
}

std::string WinePrefix::PortLink(int comNumber) const
{
    return ConfigHome() + "/vrt58-dsp-updater/ports/com" + std::to_string(comNumber);
}

bool WinePrefix::AttachPort(int comNumber, const std::string& device) const
{
    DetachPort(comNumber);
    std::error_code error;
    std::filesystem::create_symlink(device, PortLink(comNumber), error);
    return !error;
}

void WinePrefix::DetachPort(int comNumber) const
{
    std::error_code error;
    std::filesystem::remove(PortLink(comNumber), error);
}

std::vector<std::string> WinePrefix::Command(const std::string& exe, const std::vector<std::string>& args) const
{
    std::vector<std::string> argv = {VRT_WINE_RUN, VRT_WINE_STATE, exe};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace testing_support
