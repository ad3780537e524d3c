// The TEST button in real time: the real clock and serial backend, the
// scanner model on a pseudo-terminal reached as COM12 through the port map
// folder; only the window system is the test one.
#include "app/AppText.h"
#include "resources/ResourceIds.h"
#include "support/RealTimeApp.h"
#include "support/ServedScanner.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace platform;
using namespace std::chrono_literals;
using testing_support::RealTimeApp;
using testing_support::ServedScanner;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kCom = 12;

struct VersionCase {
    const char* name;
    std::uint8_t version;
    bool factory;
    int answer;  // to the question; 0 for an information box
    const char* banner;
    const char* box;
    std::uint32_t style;
    bool allowed;
};

const VersionCase kCases[] = {
    {"older field upgrade", 0x13, false, 0, "SCANNER VERSION: 1.3 (a field upgrade)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.3, and\nis a field-upgraded version.\n\n"
     "This update utility contains version 1.4.",
     MB_ICONINFORMATION, true},
    {"same factory, No", 0x14, true, IDNO, "SCANNER VERSION: 1.4 (the factory version)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.4, and\nis the factory version.\n\n"
     "This update utility contains version 1.4.\n\nThis updater contains a version that is the same as what your "
     "scanner\nalready contains.\n\nDo you really want to upload version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION, false},
};

TEST(ConnectionTestOnPty, AsksTheScannerItsVersionInRealTime)
{
    for (const VersionCase& c : kCases) {
        SCOPED_TRACE(c.name);
        sim::ScannerConfig config;
        config.version = c.version;
        config.factory = c.factory;
        ServedScanner scanner(config, kCom);
        ASSERT_TRUE(scanner.Started()) << scanner.Error();

        RealTimeApp app;
        CUpdaterDlg dlg;
        bool closedAtBox = false;
        SteadyClock::duration took{};
        app.Run(dlg, [&](testwin::TestDialog& d) {
            ASSERT_TRUE(d.Select(IDC_PORT_LIST, kCom - 1));
            if (c.answer != 0) {
                app.windows.QueueAnswer(c.answer);
            }
            app.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
                closedAtBox = scanner.HeldHere() == 0 && scanner.CanOpenExclusively();
            });
            const testing_support::Watchdog watchdog(10s, std::string("TEST against ") + c.name);
            const auto start = SteadyClock::now();
            ASSERT_TRUE(d.Click(IDC_TEST));
            took = SteadyClock::now() - start;
        });
        const std::string log = scanner.Log();
        SCOPED_TRACE("the scanner's side:\n" + log);

        const auto& boxes = app.windows.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);  // the start-up warning, then the test's box
        EXPECT_EQ(boxes[1].text, c.box);
        EXPECT_EQ(boxes[1].style, c.style);
        EXPECT_EQ(boxes[1].caption, ApplicationName());
        EXPECT_TRUE(closedAtBox);
        EXPECT_EQ(app.Main().Control(IDC_VERSION_TEXT)->text, c.banner);
        EXPECT_EQ(app.Enabled(IDC_TEST), !c.allowed);
        EXPECT_EQ(app.Enabled(IDC_UPDATE), c.allowed);
        EXPECT_EQ(app.Enabled(IDC_PORT_LIST), !c.allowed);
        EXPECT_EQ(dlg.m_nPort, kCom - 1);
        EXPECT_EQ(app.windows.WaitCursorBegins(), 0);

        // 100 ms before the exchange, 200 ms settling, then a few bytes.
        EXPECT_GE(took, 300ms);
        EXPECT_LT(took, 1500ms);

        scanner.With([&](sim::ScannerModel& m) {
            const auto& r = m.Record();
            ASSERT_EQ(r.requests.size(), 2u);
            EXPECT_EQ(r.requests[0].kind, sim::RequestKind::Enq);
            EXPECT_EQ(r.requests[1].kind, sim::RequestKind::Version);
            EXPECT_EQ(r.pcAnswers, std::vector<std::uint8_t>{0x06});
            EXPECT_EQ(r.bytesReceived, 3u);  // ENQ, 'V', the PC's ACK
        });
    }
}

}  // namespace
