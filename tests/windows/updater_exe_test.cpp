// The real VRT58DSPUpdater.exe under Wine, headless under Xvfb, driven like
// a user with xdotool, against the scanner simulator (the Linux vrt58-sim)
// on a pseudo-terminal that Wine maps as COM1. What X cannot show (the
// texts inside a dialog, which control has the focus) is read with
// win32-window-probe, a small program of the cross build that reads the
// windows from outside as a screen reader would. Screenshots land in
// build/screens-windows/ for a human look.
//
// With no window manager, Wine's X window of a dialog is its client area:
// a click at a dialog-unit proportion of it hits the control.
#include "support/WinePrefix.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;
using SteadyClock = std::chrono::steady_clock;

const std::string EXE = WinePrefix::WindowsBuild() + "/VRT58DSPUpdater.exe";
const std::string PROBE = WinePrefix::WindowsBuild() + "/tests/win32-window-probe.exe";
const std::string SIM = VRT_BUILD_DIR "/vrt58-sim";
const std::string IMAGE = VRT_SOURCE_DIR "/firmware/dsp-1.4.bin";
const std::string SHOTS = VRT_BUILD_DIR "/screens-windows";
const std::string MAIN_TITLE = "^VRT-58 DSP Update Utility 1.4$";
const std::string BOX_TITLE = "^VRT58DSPUpdater$";
const std::string ABOUT_TITLE = "^About the VRT-58 DSP Update Utility$";
const std::string PROGRESS_TITLE = "^Updating DSP$";
constexpr int COM = 1;  // this test's port; other windows tests use others

// Wine starts a program in a second or two, more on a loaded machine.
constexpr int START_SECONDS = 30;

double SecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// One control as win32-window-probe reports it.
struct Control {
    std::string className;
    bool visible = false;
    bool enabled = false;
    bool focus = false;
    std::string text;
};

// What the probe read of a window: its own line and its controls by
// identifier (controls without one are left out).
struct Probe {
    bool found = false;
    std::string text;
    bool enabled = false;
    std::map<int, Control> controls;
    std::string raw;  // for failure messages

    int Focus() const
    {
        for (const auto& [id, control] : controls) {
            if (control.focus) {
                return id;
            }
        }
        return 0;
    }
};

std::string Field(const std::string& line, const std::string& name)
{
    const std::size_t at = line.find(" " + name + "=");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + name.size() + 2;
    if (name == "text") {
        return line.substr(from);  // the rest of the line
    }
    return line.substr(from, line.find(' ', from) - from);
}

class UpdaterExeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (access(EXE.c_str(), F_OK) == 0) {
            s_display = std::make_unique<XvfbDisplay>();
            std::filesystem::create_directories(SHOTS);
        }
    }
    static void TearDownTestSuite() { s_display.reset(); }

    void SetUp() override
    {
        if (access(EXE.c_str(), F_OK) != 0) {
            GTEST_SKIP() << "no " << EXE << " (scripts/build-windows makes it)";
        }
        ASSERT_TRUE(s_display->Ok()) << s_display->Error();
        ASSERT_TRUE(m_prefix.Ok()) << m_prefix.Error();
        // vrt58-sim attaches its scanner where Wine's COM ports lead.
        setenv("XDG_CONFIG_HOME", m_prefix.ConfigHome().c_str(), 1);
    }

    void TearDown() override
    {
        app.reset();
        sim.reset();
        if (m_prefix.Ok()) {
            m_prefix.DetachPort(COM);
        }
    }

    void StartSim(const Lines& extra)
    {
        Lines argv = {SIM, "--port", std::to_string(COM)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim = std::make_unique<ChildProgram>(argv);
        ASSERT_TRUE(sim->Started());
        for (int i = 0; i < 50 && access(m_prefix.PortLink(COM).c_str(), F_OK) != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_EQ(access(m_prefix.PortLink(COM).c_str(), F_OK), 0) << "the simulator made no COM" << COM;
    }

    // Starts the program and answers its start-up warning with `key`; the
    // main dialog's window after Yes.
    std::string StartApp(const std::string& key, const std::string& shot = "")
    {
        const auto started = SteadyClock::now();
        app = std::make_unique<ChildProgram>(m_prefix.Command(EXE));
        EXPECT_TRUE(app->Started());
        const std::string box = FindWindow(BOX_TITLE, START_SECONDS);
        EXPECT_FALSE(box.empty()) << "no warning box";
        if (box.empty()) {
            return {};
        }
        std::printf("warning box %.1f s after the start\n", SecondsSince(started));
        if (!shot.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            Screenshot("root", SHOTS + "/" + shot);
        }
        EXPECT_TRUE(PressKeys(box, {key}));
        if (key != "y") {
            return {};
        }
        const auto answered = SteadyClock::now();
        const std::string main = FindWindow(MAIN_TITLE, START_SECONDS);
        std::printf("main dialog %.1f s after Yes\n", SecondsSince(answered));
        return main;
    }

    // Reads the top-level window titled `title` (exact) from outside.
    Probe Read(const std::string& title)
    {
        Probe probe;
        int status = -1;
        for (std::string line : RunProgram(m_prefix.Command(PROBE, {title}), 20, &status)) {
            if (line.ends_with('\r')) {
                line.pop_back();  // a console program's line end under Wine
            }
            probe.raw += line + "\n";
            if (line.starts_with("window ")) {
                probe.found = true;
                probe.enabled = Field(line, "enabled") == "1";
                probe.text = Field(line, "text");
            } else if (line.starts_with("control ")) {
                const int id = std::atoi(Field(line, "id").c_str());
                if (id != -1 && !probe.controls.contains(id)) {
                    probe.controls[id] = Control{Field(line, "class"), Field(line, "visible") == "1",
                                                 Field(line, "enabled") == "1", Field(line, "focus") == "1",
                                                 Field(line, "text")};
                }
            }
        }
        probe.found = probe.found && status == 0;
        return probe;
    }

    static std::unique_ptr<XvfbDisplay> s_display;
    WinePrefix m_prefix;
    std::unique_ptr<ChildProgram> sim;
    std::unique_ptr<ChildProgram> app;
};

std::unique_ptr<XvfbDisplay> UpdaterExeTest::s_display;

// Control identifiers of the main dialog.
constexpr int IDOK = 1;
constexpr int IDC_PORT_LIST = 1000;
constexpr int IDC_TEST = 1002;
constexpr int IDC_UPDATE = 1003;
constexpr int IDC_DONE_TEXT = 1004;
constexpr int IDC_VERSION_TEXT = 1005;
constexpr int IDC_UPDATE_TEXT = 1006;
constexpr int IDC_ABOUT_TITLE = 1007;

TEST_F(UpdaterExeTest, RefusedWarningExitsWithStatusZeroAndOpensNoPort)
{
    // N answers No; Return takes the default button, which is No.
    for (const std::string key : {"n", "Return"}) {
        SCOPED_TRACE(key);
        StartSim({"--mode", "normal"});
        StartApp(key, key == "n" ? "windows-01-warning.png" : "");
        EXPECT_EQ(app->Finish(20000), 0);
        EXPECT_FALSE(Visible(MAIN_TITLE)) << "the main dialog showed after a refusal";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Lines said = sim->Lines();
        ASSERT_FALSE(said.empty());  // the simulator was listening
        EXPECT_FALSE(Any(said, "port opened"));
        sim.reset();
        app.reset();
    }
}

TEST_F(UpdaterExeTest, MainDialogAsInitialised)
{
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Screenshot("root", SHOTS + "/windows-02-main.png");

    const Probe dialog = Read("VRT-58 DSP Update Utility 1.4");
    ASSERT_TRUE(dialog.found) << dialog.raw;
    const auto& c = dialog.controls;
    ASSERT_TRUE(c.contains(IDOK) && c.contains(IDC_PORT_LIST) && c.contains(IDC_TEST) && c.contains(IDC_UPDATE) &&
                c.contains(IDC_DONE_TEXT) && c.contains(IDC_VERSION_TEXT) && c.contains(IDC_UPDATE_TEXT))
        << dialog.raw;
    EXPECT_EQ(c.at(IDC_VERSION_TEXT).text, "SCANNER VERSION: ?.?\\nUPDATER VERSION: 1.4");
    EXPECT_TRUE(c.at(IDC_UPDATE_TEXT).text.ends_with("to version  1.4"));
    EXPECT_EQ(c.at(IDC_PORT_LIST).text, "COM1");
    EXPECT_EQ(c.at(IDC_PORT_LIST).className, "ComboBox");
    EXPECT_TRUE(c.at(IDC_TEST).enabled);
    EXPECT_FALSE(c.at(IDC_UPDATE).enabled);
    EXPECT_FALSE(c.at(IDC_DONE_TEXT).visible);
    EXPECT_EQ(dialog.Focus(), IDOK) << "EXIT, the first tab stop, has the focus";

    ASSERT_TRUE(PressKeys(main, {"Escape"}));
    EXPECT_EQ(app->Finish(20000), 0);
}

TEST_F(UpdaterExeTest, HiddenMessageKeysWhicheverControlHasTheFocus)
{
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());
    struct Key {
        const char* name;
        bool shows;
    };
    std::vector<int> focused;
    for (const Key key : {Key{"F4", true}, Key{"alt+F3", true}, Key{"alt+F5", true}, Key{"F3", false},
                          Key{"F5", false}}) {
        SCOPED_TRACE(key.name);
        // The focus moves on each time: the port list, TEST, EXIT, the
        // list, TEST.
        ASSERT_TRUE(PressKeys(main, {"Tab"}));
        focused.push_back(Read("VRT-58 DSP Update Utility 1.4").Focus());
        ASSERT_TRUE(PressKeys(main, {key.name}));
        const std::string box = FindWindow(BOX_TITLE, key.shows ? 10 : 2);
        EXPECT_EQ(!box.empty(), key.shows);
        if (!box.empty()) {
            if (std::string(key.name) == "F4") {
                Screenshot("root", SHOTS + "/windows-06-messages.png");
                // F4 on the port list does not drop it down.
                EXPECT_EQ(focused.back(), IDC_PORT_LIST);
            }
            ASSERT_TRUE(PressKeys(box, {"Return"}));
            ASSERT_TRUE(WaitGone(BOX_TITLE));
        }
        ASSERT_TRUE(Visible(MAIN_TITLE));
    }
    EXPECT_GE(std::set<int>(focused.begin(), focused.end()).size(), 3u) << "the focus did not move";

    // Alt+Shift+F4 is no accelerator; like Alt+F4 it closes the dialog.
    ASSERT_TRUE(PressKeys(main, {"alt+shift+F4"}));
    EXPECT_TRUE(FindWindow(BOX_TITLE, 2).empty());
    EXPECT_EQ(app->Finish(20000), 0);
}

TEST_F(UpdaterExeTest, AboutThroughTheRealSystemMenu)
{
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());
    const Probe before = Read("VRT-58 DSP Update Utility 1.4");
    ASSERT_TRUE(before.found) << before.raw;

    // Alt+Space opens the system menu; our item is its last (Wine adds
    // "About Wine" above it, with the same mnemonic, so the test moves
    // there with Up instead of pressing A).
    ASSERT_TRUE(PressKeys(main, {"alt+space"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(PressKeys(main, {"Up", "Return"}));
    const std::string about = FindWindow(ABOUT_TITLE, 10);
    ASSERT_FALSE(about.empty()) << "no About box";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Screenshot("root", SHOTS + "/windows-07-about.png");

    const Probe box = Read("About the VRT-58 DSP Update Utility");
    ASSERT_TRUE(box.controls.contains(IDC_ABOUT_TITLE)) << box.raw;
    EXPECT_EQ(box.controls.at(IDC_ABOUT_TITLE).text, "VRT-58 DSP Update Utility 1.4");
    EXPECT_EQ(box.Focus(), IDOK);
    EXPECT_FALSE(Read("VRT-58 DSP Update Utility 1.4").enabled) << "the owner takes input under the About box";

    ASSERT_TRUE(PressKeys(about, {"Return"}));
    ASSERT_TRUE(WaitGone(ABOUT_TITLE));
    // The main dialog as it was: texts, states, the focus.
    const Probe after = Read("VRT-58 DSP Update Utility 1.4");
    EXPECT_TRUE(after.enabled);
    EXPECT_EQ(after.text, before.text);
    ASSERT_EQ(after.controls.size(), before.controls.size()) << after.raw;
    for (const auto& [id, control] : before.controls) {
        SCOPED_TRACE(id);
        const Control& now = after.controls.at(id);
        EXPECT_EQ(now.text, control.text);
        EXPECT_EQ(now.enabled, control.enabled);
        EXPECT_EQ(now.visible, control.visible);
    }
    EXPECT_EQ(after.Focus(), before.Focus());

    // A second opening shows the version once, not twice.
    ASSERT_TRUE(PressKeys(main, {"alt+space"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(PressKeys(main, {"Up", "Return"}));
    const std::string again = FindWindow(ABOUT_TITLE, 10);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(Read("About the VRT-58 DSP Update Utility").controls[IDC_ABOUT_TITLE].text,
              "VRT-58 DSP Update Utility 1.4");
    ASSERT_TRUE(PressKeys(again, {"Escape"}));
    ASSERT_TRUE(WaitGone(ABOUT_TITLE));

    ASSERT_TRUE(PressKeys(main, {"alt+F4"}));
    EXPECT_EQ(app->Finish(20000), 0);
}

TEST_F(UpdaterExeTest, SevenStepsInstallTheImage)
{
    if (access(VRT_SOURCE_DIR "/platform/win32/Win32CommDevice.cpp", F_OK) != 0) {
        GTEST_SKIP() << "this tree has no Win32 comm backend yet: the program cannot open COM" << COM;
    }
    StartSim({"--mode", "auto", "--expect", IMAGE, "--exit-after-update"});
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());

    // EXIT has the focus; Tab, Tab reaches TEST.
    ASSERT_TRUE(PressKeys(main, {"Tab", "Tab", "Return"}));
    const std::string box = FindWindow(BOX_TITLE, 20);
    ASSERT_FALSE(box.empty()) << "no version box";
    Screenshot("root", SHOTS + "/windows-03-version.png");
    ASSERT_TRUE(PressKeys(box, {"Return"}));
    ASSERT_TRUE(WaitGone(BOX_TITLE));
    const Probe tested = Read("VRT-58 DSP Update Utility 1.4");
    EXPECT_EQ(tested.controls.at(IDC_VERSION_TEXT).text,
              "SCANNER VERSION: 1.3 (a field upgrade)\\nUPDATER VERSION: 1.4");
    EXPECT_TRUE(tested.controls.at(IDC_UPDATE).enabled);
    EXPECT_FALSE(tested.controls.at(IDC_TEST).enabled);

    // Steps 4 to 6 happen on the scanner: the simulator switches to its
    // update mode once the port was closed after the test.
    const auto clicked = SteadyClock::now();
    ASSERT_TRUE(ClickControl(main, 261, 204, 65, 14));  // UPDATE
    ASSERT_FALSE(FindWindow(PROGRESS_TITLE, 15).empty()) << "no progress window";
    std::this_thread::sleep_for(std::chrono::seconds(5));
    Screenshot("root", SHOTS + "/windows-04-progress.png");
    // The user's input stays out while the image streams: a click on EXIT
    // closes nothing, then or afterwards.
    ASSERT_TRUE(ClickControl(main, 261, 234, 65, 14));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(Visible(PROGRESS_TITLE));

    ASSERT_TRUE(WaitGone(PROGRESS_TITLE, 90)) << "the upload did not end";
    std::printf("upload through the window: %.1f s from the UPDATE click\n", SecondsSince(clicked));
    EXPECT_EQ(sim->Finish(30000), 0) << "the simulator did not confirm the image";
    EXPECT_TRUE(Any(sim->Lines(), "image matches the expected payload (27038 bytes)"));
    EXPECT_TRUE(Any(sim->Lines(), "header: 66 02 34 CF 03 06"));
    // The scanner's own clock: from the header to the image's last byte.
    double header = -1, complete = -1;
    for (const std::string& line : sim->Lines()) {
        double at = 0;
        char what[32] = {};
        if (std::sscanf(line.c_str(), "%lf %31s", &at, what) == 2) {
            if (std::string(what) == "header" && header < 0) {
                header = at;
            } else if (line.find("image complete") != std::string::npos) {
                complete = at;
            }
        }
    }
    std::printf("the scanner received the image in %.1f s after the header\n", complete - header);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Screenshot("root", SHOTS + "/windows-05-done.png");
    EXPECT_FALSE(Visible(BOX_TITLE)) << "a box after a completed update";
    ASSERT_TRUE(Visible(MAIN_TITLE)) << "the click on EXIT during the upload closed the dialog";
    const Probe done = Read("VRT-58 DSP Update Utility 1.4");
    EXPECT_TRUE(done.controls.at(IDC_DONE_TEXT).visible);
    EXPECT_FALSE(done.controls.at(IDC_TEST).enabled);
    EXPECT_FALSE(done.controls.at(IDC_UPDATE).enabled);
    EXPECT_TRUE(done.controls.at(IDC_PORT_LIST).enabled);

    // The pointer is still over EXIT from the click during the upload;
    // xdotool's synchronous move waits for a motion, so it leaves first.
    RunProgram({"xdotool", "mousemove", "0", "0"});
    ASSERT_TRUE(ClickControl(main, 261, 234, 65, 14));  // EXIT
    EXPECT_EQ(app->Finish(20000), 0);
}

}  // namespace
