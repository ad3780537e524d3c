// The UPDATE button in real time against the scanner model on a
// pseudo-terminal: a test allows the update, the scanner restarts in its
// update mode, and the whole image goes out paced by the real clock.
#include "resources/ResourceIds.h"
#include "support/RealTimeApp.h"
#include "support/ServedScanner.h"
#include "support/Watchdog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace platform;
using namespace std::chrono_literals;
using testing_support::RealTimeApp;
using testing_support::ServedScanner;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kCom = 4;
constexpr const char* kDone = "Operation complete. You may exit this utility by clicking the 'EXIT' button.";
constexpr const char* kIncomplete =
    "The update did not complete: the scanner stopped taking data part way.\n\n"
    "Check the cable and the port, then retry from step 4.";

// Image bytes on the line at 19200 baud, 10 bits a character.
constexpr double kMsPerByte = 10'000.0 / 19'200.0;

class UploadOnPty : public testing::Test {
protected:
    // Serves a scanner that takes a test, then restarts in update mode.
    void Serve(sim::ScannerConfig config)
    {
        config.mode = sim::ScannerMode::Auto;
        scanner = std::make_unique<ServedScanner>(config, kCom);
        ASSERT_TRUE(scanner->Started()) << scanner->Error();
    }

    // TEST (allowed), the scanner restarted, then UPDATE, timed.
    void TestThenUpdate(std::chrono::milliseconds limit)
    {
        app.Run(dlg, [&](testwin::TestDialog& d) {
            ASSERT_TRUE(d.Select(IDC_PORT_LIST, kCom - 1));
            ASSERT_TRUE(d.Click(IDC_TEST));
            ASSERT_TRUE(app.Enabled(IDC_UPDATE));
            ASSERT_TRUE(scanner->WaitUntil([](sim::ScannerModel& m) { return m.InUpdateMode(); }, 5000))
                << "the scanner never saw the port close after the test";
            app.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
                closedAtBox = scanner->HeldHere() == 0;
                const auto progress = app.windows.DialogsFrom(IDD_PROGRESS);
                progressGoneAtBox = std::ranges::all_of(progress, [](auto* p) { return p->destroyed; });
            });
            const testing_support::Watchdog watchdog(limit, "the UPDATE handler");
            const auto start = SteadyClock::now();
            pressed = start;
            ASSERT_TRUE(d.Click(IDC_UPDATE));
            returned = SteadyClock::now();
        });
    }

    std::vector<int> Positions() const
    {
        const auto progress = app.windows.DialogsFrom(IDD_PROGRESS);
        return progress.size() == 1 ? progress[0]->Control(IDC_PROGRESS)->positions : std::vector<int>{};
    }

    std::unique_ptr<ServedScanner> scanner;
    RealTimeApp app;
    CUpdaterDlg dlg;
    bool closedAtBox = false;
    bool progressGoneAtBox = false;
    SteadyClock::time_point pressed, returned;
};

TEST_F(UploadOnPty, TheWholeImageArrivesPacedByTheLine)
{
    Serve({});
    TestThenUpdate(120s);
    const std::string log = scanner->Log();
    SCOPED_TRACE("the scanner's side:\n" + log);

    const Bytes payload(g_firmwareImage.payload, g_firmwareImage.payload + g_firmwareImage.length);
    scanner->With([&](sim::ScannerModel& m) {
        const auto& r = m.Record();
        EXPECT_THAT(r.header, testing::ElementsAre(0x66, 0x02, 0x34, 0xCF, 0x03, 0x06));
        EXPECT_TRUE(r.headerGood);
        EXPECT_EQ(r.badHeaders, 0);
        EXPECT_EQ(r.imageBytes, 27038u);
        EXPECT_TRUE(r.image == payload) << "first difference at byte " << m.FirstDifference(payload).value_or(0);
        EXPECT_FALSE(r.hungUp);
    });

    std::vector<int> expected;
    for (int total = 100; total < 27038; total += 100) {
        expected.push_back(total);
    }
    expected.push_back(27038);
    EXPECT_EQ(Positions(), expected);
    const auto progress = app.windows.DialogsFrom(IDD_PROGRESS);
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0]->Control(IDC_PROGRESS)->rangeUpper, 27038);
    EXPECT_EQ(progress[0]->caption, "Updating DSP");
    EXPECT_TRUE(progress[0]->destroyed);

    EXPECT_TRUE(app.Main().Control(IDC_DONE_TEXT)->visible);
    EXPECT_EQ(app.Main().Control(IDC_DONE_TEXT)->text, kDone);
    EXPECT_FALSE(app.Enabled(IDC_TEST));
    EXPECT_FALSE(app.Enabled(IDC_UPDATE));
    EXPECT_TRUE(app.Enabled(IDC_PORT_LIST));
    EXPECT_EQ(app.windows.MessageBoxes().size(), 2u);  // the warning and the test's box only
    EXPECT_EQ(app.windows.WaitCursorBegins(), 1);
    EXPECT_FALSE(app.windows.IsWaitCursorOn());
    EXPECT_EQ(scanner->HeldHere(), 0);

    // Never faster than the line and the pauses allow (the pacing counts
    // whole milliseconds), and not much slower either.
    const double took = std::chrono::duration<double, std::milli>(returned - pressed).count();
    const double pauses = 100 + 200 + 271 * 100;
    const double line = (6 + 27038) * kMsPerByte;
    EXPECT_GE(took, pauses + line - 272);
    EXPECT_LE(took, (pauses + line + 300) * 1.05);
}

TEST_F(UploadOnPty, AScannerGoneMidwayEndsInOurWarningNotInSuccess)
{
    sim::ScannerConfig config;
    config.faults.hangupAfter = 3 + 6 + 1050;  // the test's three bytes, the header, 1050 image bytes
    Serve(config);
    TestThenUpdate(60s);
    const std::string log = scanner->Log();
    SCOPED_TRACE("the scanner's side:\n" + log);

    const auto hungUp = scanner->HungUpAt();
    ASSERT_TRUE(hungUp.has_value());
    // Writes that send nothing are given up on after more than 5 s.
    EXPECT_GE(returned - *hungUp, 5000ms);
    EXPECT_LE(returned - *hungUp, 5000ms + 100ms + 1500ms);

    const auto& boxes = app.windows.MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, kIncomplete);
    EXPECT_EQ(boxes[2].style, MB_ICONWARNING);
    EXPECT_TRUE(closedAtBox);
    EXPECT_TRUE(progressGoneAtBox);
    EXPECT_FALSE(app.Main().Control(IDC_DONE_TEXT)->visible);
    EXPECT_TRUE(app.Enabled(IDC_UPDATE));
    EXPECT_FALSE(app.Enabled(IDC_TEST));
    EXPECT_FALSE(app.windows.IsWaitCursorOn());

    // What got through is the image's start; the bar stopped short of the end.
    const Bytes payload(g_firmwareImage.payload, g_firmwareImage.payload + 1050);
    scanner->With([&](sim::ScannerModel& m) {
        EXPECT_EQ(m.Record().imageBytes, 1050u);
        EXPECT_TRUE(m.Record().image == payload);
    });
    // Each pass sets the bar, so it repeats the last total while writes fail.
    std::vector<int> positions = Positions();
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    ASSERT_GE(positions.size(), 11u);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(positions[i], 100 * static_cast<int>(i + 1));
    }
    EXPECT_LT(positions.back(), 27038);
}

}  // namespace
