// The wx window system under Xvfb, driven like a user with xdotool through
// wx-backend-demo, which prints what its handlers receive. Screenshots for
// a human look land in build/gui-shots/.
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

const std::string DEMO = VRT_BUILD_DIR "/wx-backend-demo";
const std::string SHOTS = VRT_BUILD_DIR "/gui-shots";
const std::string MAIN_TITLE = "^VRT-58 DSP Update Utility 1.4$";
const std::string BOX_TITLE = "^wx-backend-demo$";
const std::string DEMO_CLASS = "wx-backend-demo";
constexpr int END_MS = 10000;

// What the handlers received, without the reported rectangles and
// progress positions.
Lines Events(const Lines& lines)
{
    Lines events;
    for (const std::string& line : lines) {
        if (!line.starts_with("rect ") && !line.starts_with("pos ")) {
            events.push_back(line);
        }
    }
    return events;
}

struct Point {
    int x = 0;
    int y = 0;
};

// The centre of the window the demo reported as "rect ID ..." (0: the
// dialog), or (-1, -1).
Point CentreOf(const Lines& lines, int id)
{
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string word;
        int reported = 0;
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        if (in >> word >> reported >> left >> top >> right >> bottom && word == "rect" &&
            reported == id) {
            return {(left + right) / 2, (top + bottom) / 2};
        }
    }
    return {-1, -1};
}

// Waits until a popup menu of the demo is open next to its dialog.
bool WaitForMenu()
{
    for (int tries = 0; tries < 50; ++tries) {
        if (CountWindows(DEMO_CLASS) >= 2) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class WxBackendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (access(DEMO.c_str(), X_OK) == 0) {
            s_display = std::make_unique<XvfbDisplay>();
            mkdir(SHOTS.c_str(), 0755);
        }
    }

    static void TearDownTestSuite() { s_display.reset(); }

    void SetUp() override
    {
        if (access(DEMO.c_str(), X_OK) != 0) {
            GTEST_SKIP() << "no " << DEMO << " (configured without VRT_GUI)";
        }
        ASSERT_TRUE(s_display->Ok()) << s_display->Error();
    }

    static std::unique_ptr<ChildProgram> StartDemo(const Lines& arguments)
    {
        Lines argv = {DEMO};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProgram>(argv);
    }

    // Runs the main dialog, presses `keys` and returns what the handlers
    // received once the dialog has ended.
    static Lines RunMainWithKeys(const Lines& keys)
    {
        auto demo = StartDemo({"main"});
        const std::string window = FindWindow(MAIN_TITLE);
        EXPECT_FALSE(window.empty()) << "the main dialog did not appear";
        if (!window.empty()) {
            EXPECT_TRUE(PressKeys(window, keys));
        }
        EXPECT_EQ(demo->Finish(END_MS), 0) << "the dialog did not end";
        return Events(demo->Lines());
    }

    static std::unique_ptr<XvfbDisplay> s_display;
};

std::unique_ptr<XvfbDisplay> WxBackendTest::s_display;

TEST_F(WxBackendTest, KeysEndOrCommandTheDialog)
{
    struct Case {
        const char* what;
        Lines keys;
        Lines events;
    };
    const Case cases[] = {
        {"a round of Tab stops (the list is one, disabled UPDATE none) back to EXIT, Enter",
         {"Tab", "Tab", "Tab", "Return"},
         {"ready", "command 1", "result 1"}},
        {"Enter on the focused TEST clicks TEST",
         {"Tab", "Tab", "Return", "Escape"},
         {"ready", "command 1002", "command 2", "result 2"}},
        {"Enter on the list clicks the default button and does not open the list",
         {"Tab", "Return"},
         {"ready", "command 1", "result 1"}},
        {"Escape cancels", {"Escape"}, {"ready", "command 2", "result 2"}},
        {"Alt+F4 is the close box", {"alt+F4"}, {"ready", "syscommand 61536", "command 2", "result 2"}},
        // F4 opening the list would leave Escape to close the list only.
        {"accelerators come before the focused list, with exactly their modifiers",
         {"Tab", "F4", "alt+F3", "alt+F5", "F3", "F5", "ctrl+F4", "shift+F4", "Escape"},
         {"ready", "command 32771", "command 32771", "command 32771", "command 2", "result 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RunMainWithKeys(c.keys), c.events);
    }
}

TEST_F(WxBackendTest, ClicksReachTheHandlerAtTheReportedPlaces)
{
    auto demo = StartDemo({"main"});
    const std::string window = FindWindow(MAIN_TITLE);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(demo->WaitForLine("ready", END_MS));
    EXPECT_TRUE(Screenshot("root", SHOTS + "/wx-main.png"));

    const Point test = CentreOf(demo->Lines(), 1002);
    const Point exit = CentreOf(demo->Lines(), 1);
    ASSERT_TRUE(ClickAt(test.x, test.y));
    EXPECT_TRUE(demo->WaitForLine("command 1002", END_MS));
    ASSERT_TRUE(ClickAt(exit.x, exit.y));
    EXPECT_EQ(demo->Finish(END_MS), 0);
    EXPECT_EQ(Events(demo->Lines()), (Lines{"ready", "command 1002", "command 1", "result 1"}));
}

TEST_F(WxBackendTest, ContextMenuStandsInForTheSystemMenu)
{
    auto demo = StartDemo({"main"});
    const std::string window = FindWindow(MAIN_TITLE);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(demo->WaitForLine("ready", END_MS));

    // From the keyboard; the item's mnemonic chooses it.
    ASSERT_TRUE(PressKeys(window, {"shift+F10"}));
    ASSERT_TRUE(WaitForMenu());
    EXPECT_TRUE(Screenshot("root", SHOTS + "/wx-context-menu.png"));
    ASSERT_TRUE(PressKeysGrabbed({"a"}));
    EXPECT_TRUE(demo->WaitForLine("syscommand 16", END_MS));
    // Alt+Space, the system menu's own key where there is one.
    ASSERT_TRUE(PressKeys(window, {"alt+space"}));
    ASSERT_TRUE(WaitForMenu());
    ASSERT_TRUE(PressKeysGrabbed({"a"}));

    // With the mouse, on the dialog's background: its Close item.
    const Point dialog = CentreOf(demo->Lines(), 0);
    const Point exit = CentreOf(demo->Lines(), 1);
    ASSERT_TRUE(ClickAt(dialog.x, exit.y, 3));
    ASSERT_TRUE(WaitForMenu());
    ASSERT_TRUE(PressKeysGrabbed({"c"}));
    EXPECT_EQ(demo->Finish(END_MS), 0);
    EXPECT_EQ(Events(demo->Lines()),
              (Lines{"ready", "syscommand 16", "syscommand 16", "syscommand 61536", "command 2",
                     "result 2"}));
}

TEST_F(WxBackendTest, MessageBoxesAnswerWithTheirButtons)
{
    struct Case {
        const char* kind;
        Lines keys;
        std::string answer;
        const char* shot;
    };
    const Case cases[] = {
        // Escape does nothing on a Yes/No box; Enter takes the default, No.
        {"yesno", {"Escape", "Return"}, "box 7", "wx-box-yesno.png"},
        {"yesno", {"Tab", "Return"}, "box 6", nullptr},
        {"question", {"y"}, "box 6", "wx-box-question.png"},
        {"warning", {"Escape"}, "box 1", "wx-box-warning.png"},
        {"info", {"Return"}, "box 1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " answered by its keys");
        auto demo = StartDemo({"box", c.kind});
        const std::string box = FindWindow(BOX_TITLE);
        ASSERT_FALSE(box.empty());
        if (c.shot != nullptr) {
            const std::string shot = SHOTS + "/" + c.shot;
            EXPECT_TRUE(Screenshot(box, shot));
            if (std::string(c.kind) != "yesno") {
                // The warning triangle and the question mark are coloured.
                EXPECT_GT(ColouredShare(shot), 0.003) << "no icon in " << shot;
            }
        }
        EXPECT_TRUE(PressKeys(box, c.keys));
        EXPECT_EQ(demo->Finish(END_MS), 0);
        EXPECT_EQ(Events(demo->Lines()), (Lines{"ready", c.answer}));
    }
}

TEST_F(WxBackendTest, PostedCloseWaitsForTheHandlerThatPostedIt)
{
    struct Case {
        const char* option;
        Lines events;
    };
    const Case cases[] = {
        // The program's refused warning.
        {"warn", {"box 7", "ready", "command 2", "result 2"}},
        // Posted before a box: the box's own loop must not close the dialog
        // under the handler still waiting for the answer.
        {"postfirst", {"box 1", "ready", "command 2", "result 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        auto demo = StartDemo({"main", c.option});
        const std::string box = FindWindow(BOX_TITLE);
        ASSERT_FALSE(box.empty());
        ASSERT_TRUE(PressKeys(box, {"Return"}));
        EXPECT_EQ(demo->Finish(END_MS), 0);
        EXPECT_EQ(Events(demo->Lines()), c.events);
    }
}

TEST_F(WxBackendTest, AboutBoxShowsTheIconAndEndsOnEnter)
{
    auto demo = StartDemo({"about"});
    const std::string window = FindWindow("^About the VRT-58 DSP Update Utility$");
    ASSERT_FALSE(window.empty());
    const std::string shot = SHOTS + "/wx-about.png";
    EXPECT_TRUE(Screenshot(window, shot));
    EXPECT_GT(ColouredShare(shot), 0.002) << "the green and yellow icon is missing";
    ASSERT_TRUE(PressKeys(window, {"Return"}));
    EXPECT_EQ(demo->Finish(END_MS), 0);
    EXPECT_EQ(Events(demo->Lines()), (Lines{"ready", "result 1"}));
}

TEST_F(WxBackendTest, ProgressWindowPaintsPositionsOfABusyLoopAndDropsInput)
{
    // TEST runs 40 positions of a 4000 range, 100 ms apart, never
    // returning to the event loop.
    auto demo = StartDemo({"main", "progress"});
    const std::string window = FindWindow(MAIN_TITLE);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(PressKeys(window, {"Tab", "Tab", "Return"}));

    ASSERT_TRUE(demo->WaitForLine("pos 1000", END_MS));
    const std::string progress = FindWindow("^Updating DSP$");
    ASSERT_FALSE(progress.empty());
    const std::string quarter = SHOTS + "/wx-progress-quarter.png";
    ASSERT_TRUE(Screenshot(progress, quarter));

    // Input meanwhile is thrown away, not kept for later.
    const Point exit = CentreOf(demo->Lines(), 1);
    EXPECT_TRUE(ClickAt(exit.x, exit.y));
    EXPECT_TRUE(PressKeys(window, {"Escape"}));

    ASSERT_TRUE(demo->WaitForLine("pos 3000", END_MS));
    const std::string threeQuarters = SHOTS + "/wx-progress-three-quarters.png";
    ASSERT_TRUE(Screenshot(progress, threeQuarters));
    EXPECT_TRUE(Screenshot("root", SHOTS + "/wx-progress.png"));
    ASSERT_TRUE(demo->WaitForLine("progress done", END_MS));

    // The bar's coloured part grew with the positions (a step or two may
    // pass between a position and its picture).
    const double early = ColouredShare(quarter);
    const double late = ColouredShare(threeQuarters);
    EXPECT_GT(early, 0.0) << "nothing painted at a quarter";
    EXPECT_GT(late, early * 2.0);
    EXPECT_LT(late, early * 4.5);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(PressKeys(window, {"Escape"}));
    EXPECT_EQ(demo->Finish(END_MS), 0);
    EXPECT_EQ(Events(demo->Lines()),
              (Lines{"ready", "command 1002", "progress done", "command 2", "result 2"}));
}

}  // namespace
