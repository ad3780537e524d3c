// The Windows installer under Wine: msiexec installs the program per
// machine with its Start-menu shortcut and its entry under installed
// programs, the installed program starts and ends with status 0 when its
// warning is refused, and msiexec /x takes every file away again.
#include "support/WinePrefix.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

const std::string INSTALL_FOLDER = "VRT-58 DSP Update Utility";
const std::string SHORTCUT = "VRT-58 DSP Update Utility.lnk";
const std::string UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string TheInstaller()
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(WinePrefix::WindowsBuild() + "/packages")) {
        if (entry.path().extension() == ".msi") {
            found.push_back(entry.path());
        }
    }
    return found.size() == 1 ? found.front().string() : std::string();
}

// Files under `root` whose name is `name`, anywhere below it.
std::vector<fs::path> FindAll(const fs::path& root, const std::string& name)
{
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        if (it->path().filename() == name) {
            found.push_back(it->path());
        }
    }
    return found;
}

// The installed program's entry under installed programs: its values by name.
std::string UninstallEntry(const WinePrefix& wine)
{
    std::string entry;
    bool ours = false;
    for (const std::string& line : RunProgram(wine.Command("reg", {"query", UNINSTALL_KEY, "/s"}), 30)) {
        if (line.starts_with("HKEY_")) {
            ours = false;
            continue;
        }
        if (line.find("DisplayName") != std::string::npos && line.find("VRT-58 DSP Update Utility") != std::string::npos) {
            ours = true;
        }
        if (ours) {
            entry += line + "\n";
        }
    }
    return entry;
}

TEST(WindowsInstaller, InstallsStartsAndRemovesCleanly)
{
    // The display first: a Wine program started without one leaves a
    // display-less desktop behind for a while, and the next program could
    // then show no window.
    XvfbDisplay display;
    ASSERT_TRUE(display.Ok()) << display.Error();
    WinePrefix wine;
    ASSERT_TRUE(wine.Ok()) << wine.Error();
    const std::string msi = TheInstaller();
    ASSERT_FALSE(msi.empty()) << "no single .msi in " << WinePrefix::WindowsBuild() << "/packages";
    const fs::path driveC = wine.Folder() + "/wine/drive_c";
    const fs::path folder = driveC / "Program Files" / INSTALL_FOLDER;

    int status = -1;
    RunProgram(wine.Command("msiexec", {"/i", msi, "/qn"}), 120, &status);
    ASSERT_EQ(status, 0) << "msiexec /i";

    // Per machine, into Program Files: the program and its license.
    std::vector<std::string> installed;
    for (const auto& entry : fs::directory_iterator(folder)) {
        installed.push_back(entry.path().filename().string());
    }
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(installed, (std::vector<std::string>{"LICENSE.txt", "VRT58DSPUpdater.exe"}));
    // The Start-menu shortcut. Wine puts a per-machine shortcut into the
    // user's Start menu (Windows into the common one): either counts.
    EXPECT_EQ(FindAll(driveC, SHORTCUT).size(), 1u);
    const std::string entry = UninstallEntry(wine);
    EXPECT_NE(entry.find("Publisher    REG_SZ    VRT-58 DSP Update Utility developers"), std::string::npos) << entry;
    EXPECT_NE(entry.find("DisplayVersion    REG_SZ    0.0.104"), std::string::npos) << entry;

    // The installed program starts; a refused warning ends it with 0.
    ChildProgram app(wine.Command("C:\\Program Files\\" + INSTALL_FOLDER + "\\VRT58DSPUpdater.exe"));
    ASSERT_TRUE(app.Started());
    const std::string box = FindWindow("^VRT58DSPUpdater$", 30);
    ASSERT_FALSE(box.empty()) << "the installed program showed no warning";
    ASSERT_TRUE(PressKeys(box, {"n"}));
    EXPECT_EQ(app.Finish(20000), 0);

    RunProgram(wine.Command("msiexec", {"/x", msi, "/qn"}), 120, &status);
    ASSERT_EQ(status, 0) << "msiexec /x";
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(FindAll(driveC, SHORTCUT).empty());
    EXPECT_EQ(UninstallEntry(wine), "");
}

}  // namespace
