// The vrt58-sim executable, run as a user would, against a temporary port map.

#include "support/PtyPc.h"
#include "support/SimLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::HexBytes;
using test::PtyPc;
using test::WaitFor;

// One run of the tool with XDG_CONFIG_HOME pointing at a temporary folder.
class SimProcess {
public:
    SimProcess(const std::string& configHome, std::vector<std::string> args)
    {
        const std::string exe = std::string(VRT_BUILD_DIR) + "/vrt58-sim";
        args.insert(args.begin(), exe);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);

        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + configHome, "HOME=" + configHome,
                                        "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        if (posix_spawn(&m_pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    }

    ~SimProcess()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) {
            ::close(m_out);
        }
    }

    bool Running() const { return m_pid > 0; }
    void Signal(int sig) { ::kill(m_pid, sig); }

    // The exit status once the process ended within `ms`, else nothing.
    std::optional<int> Wait(int ms)
    {
        WaitFor(
            [&] {
                Drain();
                int status = 0;
                if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return m_status.has_value();
            },
            ms);
        Drain();
        return m_status;
    }

    const std::string& Output()
    {
        Drain();
        return m_text;
    }

private:
    void Drain()
    {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(m_out, buffer, sizeof(buffer))) > 0) {
            m_text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
    std::optional<int> m_status;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(SimTool, LinksTheLineAnswersAndCleansUpOnSigterm)
{
    test::TempFolder home;
    const std::string link = home.Path() + "/vrt58-dsp-updater/ports/com7";
    SimProcess sim(home.Path(), {"--port", "7", "--version-byte", "0x14", "--factory"});
    ASSERT_TRUE(sim.Running());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(link); }, 5000)) << sim.Output();

    PtyPc pc;
    ASSERT_TRUE(pc.Open(link));
    ASSERT_TRUE(pc.Write(Bytes("05")));
    EXPECT_EQ(HexBytes(pc.Read(2, 2000)), "05 06");
    ASSERT_TRUE(pc.Write(Bytes("56")));
    EXPECT_EQ(HexBytes(pc.Read(7, 2000)), "56 06 02 01 94 03 98");
    pc.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(5000), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    const std::string out = sim.Output();
    EXPECT_TRUE(Contains(out, "ENQ -> ACK")) << out;
    EXPECT_TRUE(Contains(out, "VERSION -> ACK, reply 02 01 94 03 98")) << out;
    EXPECT_TRUE(Contains(out, "port closed")) << out;
    EXPECT_TRUE(Contains(out, "summary: requests: 2 (ENQ 1, VERSION 1)")) << out;
}

TEST(SimTool, LeavesALinkToAnotherLiveDeviceAloneUnlessForced)
{
    test::TempFolder home;
    const fs::path folder = home.Path() + "/vrt58-dsp-updater/ports";
    fs::create_directories(folder);
    fs::create_symlink("/dev/null", folder / "com2");

    SimProcess refused(home.Path(), {"--port", "2"});
    EXPECT_EQ(refused.Wait(5000), 2);
    EXPECT_TRUE(Contains(refused.Output(), "already points to /dev/null")) << refused.Output();
    EXPECT_EQ(fs::read_symlink(folder / "com2"), "/dev/null");

    SimProcess forced(home.Path(), {"--port", "2", "--force", "--quiet"});
    ASSERT_TRUE(WaitFor([&] { return fs::read_symlink(folder / "com2") != "/dev/null"; }, 5000));
    forced.Signal(SIGINT);
    EXPECT_EQ(forced.Wait(5000), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "com2")));
}

TEST(SimTool, ExitsAfterAnUpdateAndSaysWhetherTheImageMatches)
{
    test::TempFolder home;
    const std::string expect = home.Path() + "/payload.bin";
    std::vector<std::uint8_t> image(300);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::ofstream(expect, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                  static_cast<std::streamsize>(image.size()));

    for (const bool intact : {true, false}) {
        SCOPED_TRACE(intact ? "intact" : "damaged");
        const std::string link = home.Path() + "/vrt58-dsp-updater/ports/com9";
        SimProcess sim(home.Path(),
                       {"--port", "9", "--mode", "update", "--expect", expect, "--exit-after-update", "--quiet"});
        ASSERT_TRUE(WaitFor([&] { return fs::exists(link); }, 5000)) << sim.Output();

        PtyPc pc;
        ASSERT_TRUE(pc.Open(link));
        EXPECT_EQ(HexBytes(pc.Read(1, 3000)), "55");
        auto sent = image;
        if (!intact) {
            sent[123] ^= 0x40;
        }
        ASSERT_TRUE(pc.Write(Bytes("66 02 00 96 03 99")));  // 150 words
        ASSERT_TRUE(pc.Write(sent));
        pc.Read(306, 1000);
        pc.Close();

        EXPECT_EQ(sim.Wait(5000), intact ? 0 : 3);
        const std::string out = sim.Output();
        EXPECT_TRUE(Contains(out, "summary: header: 66 02 00 96 03 99 (good: 150 words, 300 bytes)")) << out;
        if (intact) {
            EXPECT_TRUE(Contains(out, "summary: image matches the expected payload (300 bytes)")) << out;
        } else {
            EXPECT_TRUE(Contains(out, "first difference at byte 123")) << out;
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
}

}  // namespace
