// The real program under Xvfb, driven like a user with xdotool, against the
// scanner simulator on a pseudo-terminal linked as COM1 in a port map folder
// of the test's own. Screenshots land in build/gui-shots/ for a human look.
#include "support/PtyPc.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

const std::string APP = VRT_BUILD_DIR "/VRT58DSPUpdater";
const std::string SIM = VRT_BUILD_DIR "/vrt58-sim";
const std::string IMAGE = VRT_SOURCE_DIR "/firmware/dsp-1.4.bin";
const std::string SHOTS = VRT_BUILD_DIR "/gui-shots";
const std::string MAIN_TITLE = "^VRT-58 DSP Update Utility 1.4$";
const std::string BOX_TITLE = "^VRT58DSPUpdater$";
const std::string ABOUT_TITLE = "^About the VRT-58 DSP Update Utility$";

class UpdaterGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (access(APP.c_str(), X_OK) == 0) {
            s_display = std::make_unique<XvfbDisplay>();
            mkdir(SHOTS.c_str(), 0755);
        }
    }
    static void TearDownTestSuite() { s_display.reset(); }

    void SetUp() override
    {
        if (access(APP.c_str(), X_OK) != 0) {
            GTEST_SKIP() << "no " << APP << " (configured without VRT_GUI)";
        }
        ASSERT_TRUE(s_display->Ok()) << s_display->Error();
        m_config = std::make_unique<test::ScopedConfigHome>();
        ASSERT_FALSE(m_config->Path().empty());
    }

    void TearDown() override
    {
        app.reset();
        sim.reset();
        m_config.reset();
    }

    void StartSim(const Lines& extra)
    {
        Lines argv = {SIM, "--port", "1"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim = std::make_unique<ChildProgram>(argv);
        ASSERT_TRUE(sim->Started());
        for (int i = 0; i < 50 && access((m_config->PortMapFolder() + "/com1").c_str(), F_OK) != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // Starts the program and answers its start-up warning with `key`.
    std::string StartApp(const std::string& key, const std::string& shot = "")
    {
        app = std::make_unique<ChildProgram>(Lines{APP});
        EXPECT_TRUE(app->Started());
        const std::string box = FindWindow(BOX_TITLE);
        EXPECT_FALSE(box.empty()) << "no warning box";
        if (!shot.empty()) {
            Screenshot("root", SHOTS + "/" + shot);
        }
        EXPECT_TRUE(PressKeys(box, {key}));
        return key == "y" ? FindWindow(MAIN_TITLE) : std::string();
    }

    static std::unique_ptr<XvfbDisplay> s_display;
    std::unique_ptr<ChildProgram> sim;
    std::unique_ptr<ChildProgram> app;
    std::unique_ptr<test::ScopedConfigHome> m_config;
};

std::unique_ptr<XvfbDisplay> UpdaterGuiTest::s_display;

TEST_F(UpdaterGuiTest, RefusedWarningEndsWithStatusZeroAndNoPortOpened)
{
    StartSim({"--mode", "normal"});
    StartApp("Return", "app-01-warning.png");  // No is the default button
    EXPECT_EQ(app->Finish(10000), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Lines said = sim->Lines();
    ASSERT_FALSE(said.empty());  // the simulator was listening
    EXPECT_FALSE(Any(said, "port opened"));
}

TEST_F(UpdaterGuiTest, SevenStepsInstallTheImage)
{
    StartSim({"--mode", "auto", "--expect", IMAGE, "--exit-after-update"});
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());
    Screenshot("root", SHOTS + "/app-02-main.png");

    // EXIT has the focus; Tab, Tab reaches TEST.
    ASSERT_TRUE(PressKeys(main, {"Tab", "Tab", "Return"}));
    const std::string box = FindWindow(BOX_TITLE, 15);
    ASSERT_FALSE(box.empty()) << "no version box";
    Screenshot("root", SHOTS + "/app-03-version.png");
    ASSERT_TRUE(PressKeys(box, {"Return"}));
    ASSERT_TRUE(WaitGone(BOX_TITLE));

    // Steps 4 to 6 happen on the scanner: the simulator switches to its
    // update mode once the port was closed after the test.
    ASSERT_TRUE(ClickControl(main, 261, 204, 65, 14));  // UPDATE
    std::this_thread::sleep_for(std::chrono::seconds(6));
    Screenshot("root", SHOTS + "/app-04-progress.png");

    EXPECT_EQ(sim->Finish(90000), 0) << "the simulator did not confirm the image";
    EXPECT_TRUE(Any(sim->Lines(), "image matches the expected payload (27038 bytes)"));
    EXPECT_TRUE(Any(sim->Lines(), "header: 66 02 34 CF 03 06"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Screenshot("root", SHOTS + "/app-05-done.png");
    EXPECT_FALSE(Visible(BOX_TITLE)) << "no box after a completed update";

    ASSERT_TRUE(ClickControl(main, 261, 234, 65, 14));  // EXIT
    EXPECT_EQ(app->Finish(10000), 0);
}

TEST_F(UpdaterGuiTest, HiddenMessageKeysAndTheAboutBox)
{
    const std::string main = StartApp("y");
    ASSERT_FALSE(main.empty());
    struct Key {
        const char* name;
        bool shows;
    };
    for (const Key key : {Key{"F4", true}, Key{"alt+F3", true}, Key{"alt+F5", true}, Key{"F3", false},
                          Key{"F5", false}}) {
        SCOPED_TRACE(key.name);
        // Move the focus on each time (EXIT, the port list, TEST, ...):
        // the keys work whichever control has it.
        ASSERT_TRUE(PressKeys(main, {"Tab", key.name}));
        const std::string box = FindWindow(BOX_TITLE, key.shows ? 10 : 1);
        EXPECT_EQ(!box.empty(), key.shows);
        if (!box.empty()) {
            if (std::string(key.name) == "F4") {
                Screenshot("root", SHOTS + "/app-06-messages.png");
            }
            ASSERT_TRUE(PressKeys(box, {"Return"}));
            ASSERT_TRUE(WaitGone(BOX_TITLE));
        }
    }

    ASSERT_TRUE(PressKeys(main, {"shift+F10"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(PressKeysGrabbed({"a"}));
    const std::string about = FindWindow(ABOUT_TITLE);
    ASSERT_FALSE(about.empty());
    Screenshot("root", SHOTS + "/app-07-about.png");
    ASSERT_TRUE(PressKeys(about, {"Return"}));
    ASSERT_TRUE(WaitGone(ABOUT_TITLE));
    EXPECT_EQ(FindWindow(MAIN_TITLE, 2), main);  // the main dialog as it was

    ASSERT_TRUE(PressKeys(main, {"Escape"}));
    EXPECT_EQ(app->Finish(10000), 0);
}

}  // namespace
