// vrt58-dsp-update run as a user or a script runs it, against vrt58-sim on
// a pseudo-terminal linked in a port map folder of the test's own: each way
// out with its exit status and its exact texts.
#include "app/AppText.h"
#include "protocol/Transactions.h"
#include "support/PtyPc.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

using test::WaitFor;

const std::string kCli = std::string(VRT_BUILD_DIR) + "/vrt58-dsp-update";
const std::string kSim = std::string(VRT_BUILD_DIR) + "/vrt58-sim";
const std::string kImage = std::string(VRT_SOURCE_DIR) + "/firmware/dsp-1.4.bin";

// A program with XDG_CONFIG_HOME pointing at `home`, its standard output and
// error read apart, and standard input from /dev/null or, with `terminal`,
// from a pseudo-terminal the test types into. Killed with the object if it
// still runs.
class Process {
public:
    Process(const std::string& home, std::vector<std::string> argv, bool terminal = false)
    {
        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home};
        for (char** e = environ; *e != nullptr; ++e) {
            if (!std::string(*e).starts_with("XDG_CONFIG_HOME=")) {
                env.emplace_back(*e);
            }
        }
        int in = -1;
        if (terminal) {
            m_typed = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (m_typed < 0 || ::grantpt(m_typed) != 0 || ::unlockpt(m_typed) != 0) {
                return;
            }
            in = ::open(::ptsname(m_typed), O_RDWR | O_NOCTTY | O_CLOEXEC);
        } else {
            in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
        int out[2];
        int err[2];
        if (in < 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<char*> args;
        for (auto& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
        ::fcntl(m_err, F_SETFL, O_NONBLOCK);
    }

    ~Process()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const int fd : {m_out, m_err, m_typed}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Running() const { return m_pid > 0 && !m_status; }
    void Signal(int sig) const { ::kill(m_pid, sig); }
    void Type(const std::string& text) const { [[maybe_unused]] auto n = ::write(m_typed, text.data(), text.size()); }

    // The exit status once the program has ended within `ms`.
    std::optional<int> Wait(int ms)
    {
        WaitFor(
            [&] {
                Drain();
                int status = 0;
                if (!m_status && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return m_status.has_value();
            },
            ms);
        Drain();
        return m_status;
    }

    // Waits up to `ms` until standard output or error holds `text`.
    bool WaitForText(const std::string& text, int ms)
    {
        return WaitFor(
            [&] {
                Drain();
                return m_outText.find(text) != std::string::npos || m_errText.find(text) != std::string::npos;
            },
            ms);
    }

    const std::string& Out() { return Drain(), m_outText; }
    const std::string& Err() { return Drain(), m_errText; }

private:
    void Drain()
    {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(m_out, buffer, sizeof buffer)) > 0) {
            m_outText.append(buffer, static_cast<std::size_t>(n));
        }
        while ((n = ::read(m_err, buffer, sizeof buffer)) > 0) {
            m_errText.append(buffer, static_cast<std::size_t>(n));
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    int m_typed = -1;  // the terminal's master side
    std::string m_outText;
    std::string m_errText;
    std::optional<int> m_status;
};

// vrt58-sim serving COM5 of the test's port map folder.
class Simulator {
public:
    Simulator(const std::string& home, std::vector<std::string> args) : m_home(home)
    {
        args.insert(args.begin(), {kSim, "--port", "5"});
        m_process.emplace(home, args);
        m_process->WaitForText("vrt58-sim: COM5 is ", 5000);
        std::istringstream line(m_process->Out().substr(m_process->Out().find("COM5 is ") + 8));
        line >> m_slave;
    }
    ~Simulator()
    {
        if (m_process->Running()) {
            m_process->Signal(SIGTERM);
            m_process->Wait(5000);
        }
    }

    bool Ready() const { return !m_slave.empty(); }
    const std::string& Slave() const { return m_slave; }
    Process& Tool() { return *m_process; }

private:
    std::string m_home;
    std::optional<Process> m_process;
    std::string m_slave;
};

const std::string kWarning =
    "IMPORTANT!!!\n\nBefore attempting to use this utility, please ensure that you can transfer data\n"
    "between the VRT-58 and your PC, using a supported cable. A good test would be\n"
    "to acquire one of the data-management programs available, and perform a few\n"
    "upload and download operations between such a program and your scanner.\n\n"
    "The steps described in this utility are written with the presumption that you\n"
    "already have a suitable data transfer cable and are familiar with using that\n"
    "cable to connect your VRT-58 to your computer.\n\n"
    "Please be assured that you cannot 'destroy' your radio with this utility - you\n"
    "can always revert to the factory DSP programming via the procedure described in\n"
    "the VRT-58 manual.\n\nAre you ready to proceed with this update utility?\n";
const std::string kTestGoesOn = kWarning + "[y/N] yes (test only reads the scanner's version)\n";

// The line every run of a build with the placeholder starts with.
std::string Notice()
{
    std::string notice = PlaceholderNotice();
    if (!notice.empty()) {
        notice.replace(0, ApplicationName().size(), "vrt58-dsp-update");
    }
    return notice;
}

struct Case {
    const char* name;
    std::vector<std::string> sim;  // none: no scanner at all
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

TEST(CliTool, EachWayOutWithItsStatusAndItsTexts)
{
    const std::vector<Case> cases = {
        {"test passed", {"--version-byte", "0x13"}, {"test", "--port", "COM5"}, 0,
         kTestGoesOn +
             "\nSCANNER VERSION: 1.3 (a field upgrade)\nUPDATER VERSION: 1.4\n\n"
             "The version of the DSP Application in the scanner is 1.3, and\nis a field-upgraded version.\n\n"
             "This update utility contains version 1.4.\n\nThe update may go ahead.\n",
         Notice()},
        {"question declined", {"--version-byte", "0x14", "--factory"}, {"test", "--port", "com5"}, 3,
         kTestGoesOn +
             "\nSCANNER VERSION: 1.4 (the factory version)\nUPDATER VERSION: 1.4\n\n"
             "The version of the DSP Application in the scanner is 1.4, and\nis the factory version.\n\n"
             "This update utility contains version 1.4.\n\n"
             "This updater contains a version that is the same as what your scanner\nalready contains.\n\n"
             "Do you really want to upload version 1.4 ?\n[y/N] no (standard input is not a terminal)\n",
         Notice() + "\nvrt58-dsp-update: the answer was No; the update will not go ahead.\n"},
        {"warning declined", {}, {"update", "--port", "COM5"}, 3,
         kWarning + "[y/N] no (standard input is not a terminal)\n",
         Notice() + "\nvrt58-dsp-update: the answer was No; nothing was sent to the scanner.\n"},
        {"missing port", {}, {"test", "--port", "COM5"}, 1, kTestGoesOn,
         Notice() +
             "\nUnable to open the port COM5. Make sure that it actually\nexists and is not being used by any "
             "other program (e.g. a\nPDA program like Palm's HotSync).\n\nPlease retry from Step 2.\n"},
        {"silent scanner", {"--fault", "silence"}, {"update", "--port", "COM5", "--yes"}, 1,
         kWarning + "[y/N] yes (--yes)\n",
         Notice() + "\n" + TransactionResultText(RESULT_NO_RESPONSE) + "\n\nPlease retry from Step 1.\n"},
        {"no scanner in update mode", {"--mode", "update", "--fault", "no-sync"},
         {"update", "--skip-test", "--port", "COM5", "--yes"}, 1, kWarning + "[y/N] yes (--yes)\n",
         Notice() + "\nNo data from the scanner. Please retry from step 4\n"},
        {"usage error", {}, {"update", "--yes"}, 2, "",
         "vrt58-dsp-update: update needs --port: COM1 to COM256 or a device path\n"
         "Try 'vrt58-dsp-update --help'.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder home;
        std::optional<Simulator> sim;
        if (!c.sim.empty()) {
            sim.emplace(home.Path(), c.sim);
            ASSERT_TRUE(sim->Ready()) << sim->Tool().Out();
        } else {
            // COM5 pinned to nothing, whatever serial ports this machine has.
            const std::string folder = home.Path() + "/vrt58-dsp-updater/ports";
            std::filesystem::create_directories(folder);
            std::filesystem::create_symlink(home.Path() + "/nowhere", folder + "/com5");
        }
        std::vector<std::string> argv = c.args;
        argv.insert(argv.begin(), kCli);
        Process cli(home.Path(), argv);
        EXPECT_EQ(cli.Wait(20000), c.status);
        EXPECT_EQ(cli.Out(), c.out);
        EXPECT_EQ(cli.Err(), c.err);
    }
}

// The whole update as at a terminal: the answer-free run with --yes, the
// pause for steps 4 to 6 until Enter, then the image, which the simulator
// confirms.
TEST(CliTool, UpdateWaitsForEnterThenSendsTheImageTheSimulatorExpects)
{
    test::TempFolder home;
    Simulator sim(home.Path(), {"--mode", "auto", "--expect", kImage, "--exit-after-update"});
    ASSERT_TRUE(sim.Ready()) << sim.Tool().Out();
    Process cli(home.Path(), {kCli, "update", "--port", "COM5", "--yes"}, true);

    const std::string prompt = "Press Enter when the scanner is in its DSP update mode (Ctrl+C stops): ";
    ASSERT_TRUE(cli.WaitForText(prompt, 10000)) << cli.Out() << cli.Err();
    ASSERT_TRUE(sim.Tool().WaitForText("switching to update mode", 5000)) << sim.Tool().Out();
    cli.Type("\n");

    EXPECT_EQ(cli.Wait(90000), 0) << cli.Err();
    EXPECT_EQ(sim.Tool().Wait(10000), 0);
    EXPECT_NE(sim.Tool().Out().find("summary: image matches the expected payload (27038 bytes)"), std::string::npos)
        << sim.Tool().Out();

    const std::string steps =
        "\n4. Turn the scanner OFF and disconnect the programming cable.\n"
        "5. Turn the scanner back ON and, while the \"Welcome\" message is displayed, press 0 PGM ENTER (in "
        "sequence). This will place the scanner in its DSP update mode.\n"
        "6. Reconnect the programming cable.\n" +
        prompt + "\nOperation complete. You may exit this utility by clicking the 'EXIT' button.\n";
    EXPECT_TRUE(cli.Out().starts_with(kWarning + "[y/N] yes (--yes)\n\nSCANNER VERSION: 1.3 (a field upgrade)\n"))
        << cli.Out();
    EXPECT_TRUE(cli.Out().ends_with(steps)) << cli.Out();
    std::string progress;
    for (const char* line : {"10% (2800", "20% (5500", "30% (8200", "40% (10900", "50% (13600", "60% (16300",
                             "70% (19000", "80% (21700", "90% (24400", "100% (27038"}) {
        progress += std::string("Updating DSP: ") + line + " of 27038 bytes)\n";
    }
    EXPECT_EQ(cli.Err(), Notice() + "\n" + progress);
}

// Ctrl+C part way: the program unwinds, closes the port (its exclusive-use
// flag cleared) and says how the scanner recovers; a device path names the
// port.
TEST(CliTool, CtrlCDuringTheUploadClosesThePortAndSaysSo)
{
    test::TempFolder home;
    Simulator sim(home.Path(), {"--mode", "update", "--exit-after-update"});
    ASSERT_TRUE(sim.Ready()) << sim.Tool().Out();
    Process cli(home.Path(), {kCli, "update", "--port", sim.Slave(), "--skip-test", "--yes"});
    ASSERT_TRUE(cli.WaitForText("Updating DSP: 10%", 15000)) << cli.Err();
    cli.Signal(SIGINT);

    EXPECT_EQ(cli.Wait(5000), 130);
    EXPECT_TRUE(cli.Err().starts_with(Notice() + "vrt58-dsp-update: " + sim.Slave() +
                                      " is COM5 on this machine.\n\nUpdating DSP: 10% (2800 of 27038 bytes)\n"))
        << cli.Err();
    EXPECT_TRUE(cli.Err().ends_with(" bytes)\n\n"
                                    "vrt58-dsp-update: interrupted; the update did not complete and the port is "
                                    "closed.\nYou can always revert to the factory DSP programming via the procedure "
                                    "described in\nthe VRT-58 manual; then retry from step 4.\n"))
        << cli.Err();

    const int line = ::open(sim.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(line, 0);
    int exclusive = -1;
    EXPECT_EQ(::ioctl(line, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(line);
    EXPECT_EQ(sim.Tool().Out().find("image complete"), std::string::npos) << sim.Tool().Out();
}

TEST(CliTool, ListPortsSaysWhatEachNumberOpensAndWhy)
{
    test::TempFolder home;
    Simulator sim(home.Path(), {"--quiet"});
    ASSERT_TRUE(sim.Ready()) << sim.Tool().Out();
    std::filesystem::create_symlink(home.Path() + "/nowhere",
                                    home.Path() + "/vrt58-dsp-updater/ports/com9");
    Process cli(home.Path(), {kCli, "list-ports"});
    EXPECT_EQ(cli.Wait(10000), 0);
    char row[200];
    std::snprintf(row, sizeof row, "COM5    %-24s pinned by the link com5 in the port map folder\n",
                  sim.Slave().c_str());
    EXPECT_NE(cli.Out().find(row), std::string::npos) << cli.Out();
    EXPECT_NE(cli.Out().find("COM9    (no device)              pinned by the link com9 in the port map folder, "
                             "which leads nowhere\n"),
              std::string::npos)
        << cli.Out();
    EXPECT_NE(cli.Out().find("\n  " + home.Path() + "/vrt58-dsp-updater/ports\n"), std::string::npos);
    EXPECT_EQ(cli.Err(), "");
}

}  // namespace
