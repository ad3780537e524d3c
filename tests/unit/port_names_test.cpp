#include "platform/posix/PortNames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;
using platform::posix::ComNumberFromPath;
using platform::posix::DeviceForComNumber;
using platform::posix::PortMapFolder;
using platform::posix::SerialPortsPresent;

namespace {

TEST(ComNumberFromPath, AcceptsOnlyPortsOneTo256)
{
    const struct {
        const char* path;
        std::optional<int> number;
    } cases[] = {
        {R"(\\.\COM1)", 1},   {R"(\\.\COM12)", 12}, {R"(\\.\COM256)", 256}, {R"(\\.\COM0)", std::nullopt},
        {R"(\\.\COM257)", std::nullopt}, {R"(\\.\COM1000)", std::nullopt},  {R"(\\.\COM01)", std::nullopt},
        {R"(\\.\COM)", std::nullopt},    {R"(\\.\COM-1)", std::nullopt},    {R"(\\.\COM+1)", std::nullopt},
        {R"(\\.\COM1 )", std::nullopt},  {R"(\\.\COM1x)", std::nullopt},    {R"(\\.\com1)", std::nullopt},
        {"COM1", std::nullopt},          {R"(\\?\COM1)", std::nullopt},     {R"(\.\COM1)", std::nullopt},
        {"/dev/ttyUSB0", std::nullopt},  {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComNumberFromPath(c.path), c.number) << c.path;
    }
}

// Sets or clears an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(PortMapFolder, FollowsXdgConfigHomeElseHome)
{
    const ScopedEnv home("HOME", "/home/op");
    {
        const ScopedEnv config("XDG_CONFIG_HOME", "/cfg/");
        EXPECT_EQ(PortMapFolder(), "/cfg/vrt58-dsp-updater/ports");
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
        const ScopedEnv config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(PortMapFolder(), "/home/op/.config/vrt58-dsp-updater/ports") << (ignored ? ignored : "unset");
    }
}

// A made-up /dev and /sys with a port map folder beside them.
class FakeDeviceTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vrt58-ports-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::create_directories(Dev());
        fs::create_directories(Sys() + "/class/tty");
        fs::create_directories(Map());
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Dev() const { return (m_root / "dev").string(); }
    std::string Sys() const { return (m_root / "sys").string(); }
    std::string Map() const { return (m_root / "ports").string(); }

    void Node(const std::string& name) const { std::ofstream(Dev() + "/" + name).put('\0'); }
    // A tty that sysfs knows, optionally with a device behind it and a UART type.
    void SysTty(const std::string& name, bool device, const char* type = nullptr) const
    {
        const std::string dir = Sys() + "/class/tty/" + name;
        fs::create_directories(dir);
        if (device) {
            fs::create_directories(dir + "/device");
        }
        if (type != nullptr) {
            std::ofstream(dir + "/type") << type << '\n';
        }
    }
    std::string At(int n) const { return DeviceForComNumber(n, Map(), Dev(), Sys()); }

    fs::path m_root;
};

TEST_F(FakeDeviceTree, NumbersUsbThenOtherDevicesThenRealLegacyPorts)
{
    for (const char* name : {"ttyACM10", "ttyACM2", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttyS3", "ttyS1", "ttyS0",
                             "ttyAMA0", "rfcomm0", "ttySAC1", "tty0", "console", "ptmx", "ttyACM", "ttyUSBx"}) {
        Node(name);
    }
    SysTty("ttyACM0", true);
    SysTty("ttyUSB0", true);
    SysTty("ttyAMA0", true);
    SysTty("rfcomm0", true);
    SysTty("ttySAC1", true);   // an on-chip UART, not of the legacy family
    SysTty("ttyXRUSB0", true); // known to sysfs, but no node in /dev
    SysTty("tty0", false);
    SysTty("console", false);
    SysTty("ttyS0", true, "4");
    SysTty("ttyS1", true, "0");  // reserved, no UART behind it
    SysTty("ttyS3", true, "4");
    // ttyS2 has no node in /dev; ttyS0..3 are not "other" devices.
    SysTty("ttyS2", true, "4");

    const std::vector<std::string> expected = {
        Dev() + "/ttyACM0", Dev() + "/ttyACM2", Dev() + "/ttyACM10", Dev() + "/ttyUSB0", Dev() + "/ttyUSB1",
        Dev() + "/rfcomm0", Dev() + "/ttyAMA0", Dev() + "/ttySAC1",  Dev() + "/ttyS0",   Dev() + "/ttyS3",
    };
    EXPECT_EQ(SerialPortsPresent(Dev(), Sys()), expected);
    EXPECT_EQ(At(1), expected[0]);
    EXPECT_EQ(At(10), expected[9]);
    EXPECT_EQ(At(11), "");
    EXPECT_EQ(At(0), "");
}

TEST_F(FakeDeviceTree, PortMapLinkWinsAndADanglingLinkMeansNoDevice)
{
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "cable"}) {
        Node(name);
    }
    fs::create_symlink(Dev() + "/ttyUSB1", Map() + "/com1");
    fs::create_symlink("../dev/cable", Map() + "/com2");  // relative to the folder
    fs::create_symlink(Dev() + "/gone", Map() + "/com3");
    fs::create_symlink(Dev() + "/ttyUSB0", Map() + "/COM4");  // only lower case counts

    EXPECT_EQ(At(1), Map() + "/com1");
    EXPECT_EQ(fs::canonical(At(1)), fs::canonical(Dev() + "/ttyUSB1"));
    EXPECT_EQ(fs::canonical(At(2)), fs::canonical(Dev() + "/cable"));
    EXPECT_EQ(At(3), "");                    // not the third port present
    EXPECT_EQ(At(4), "");                    // three ports present, no link com4
    EXPECT_EQ(DeviceForComNumber(1, "", Dev(), Sys()), Dev() + "/ttyUSB0");  // no port map at all
}

}  // namespace
