// The TEST button end to end in virtual time: port, exchange, banner, boxes
// and the enabling of TEST, UPDATE and the port list.
#include "app/AppText.h"
#include "support/AppHarness.h"
#include "support/ThrowingClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace platform;
using testing_support::AppHarness;

namespace {

FirmwareImage ImageWithVersion(std::uint8_t version)
{
    static FirmwareImage image{};
    image = g_firmwareImage;
    image.version = version;
    return image;
}

struct VersionCase {
    const char* name;
    std::uint8_t byte1, byte2;
    std::uint8_t imageVersion;
    int answer;  // to a question; 0 when none is expected
    const char* banner;  // null: unchanged
    const char* box;     // null: no box
    std::uint32_t style;
    bool allowed;
};

const char* const kInitialBanner = "SCANNER VERSION: ?.?\nUPDATER VERSION: 1.4";

const VersionCase kVersionCases[] = {
    {"older field upgrade", 0x01, 0x13, 0x14, 0, "SCANNER VERSION: 1.3 (a field upgrade)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.3, and\nis a field-upgraded version.\n\n"
     "This update utility contains version 1.4.",
     MB_ICONINFORMATION, true},
    {"same factory, Yes", 0x01, 0x94, 0x14, IDYES,
     "SCANNER VERSION: 1.4 (the factory version)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.4, and\nis the factory version.\n\n"
     "This update utility contains version 1.4.\n\nThis updater contains a version that is the same as what your "
     "scanner\nalready contains.\n\nDo you really want to upload version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION, true},
    {"same factory, No", 0x01, 0x94, 0x14, IDNO, "SCANNER VERSION: 1.4 (the factory version)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.4, and\nis the factory version.\n\n"
     "This update utility contains version 1.4.\n\nThis updater contains a version that is the same as what your "
     "scanner\nalready contains.\n\nDo you really want to upload version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION, false},
    {"newer", 0x01, 0x15, 0x14, IDYES, "SCANNER VERSION: 1.5 (a field upgrade)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.5, and\nis a field-upgraded version.\n\n"
     "This update utility contains version 1.4.\n\nThis updater contains a version that is earlier than what your "
     "scanner\nalready contains.\n\nDo you really want to upload version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION, true},
    {"minor of ten", 0x01, 0x1A, 0x14, IDNO, "SCANNER VERSION: 1.10 (a field upgrade)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 1.10, and\nis a field-upgraded version.\n\n"
     "This update utility contains version 1.4.\n\nThis updater contains a version that is earlier than what your "
     "scanner\nalready contains.\n\nDo you really want to upload version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION, false},
    {"first byte zero", 0x00, 0x14, 0x14, 0, nullptr, nullptr, 0, false},
    {"version zero, factory", 0x01, 0x80, 0x14, 0, nullptr, nullptr, 0, false},
    {"version zero", 0x01, 0x00, 0x14, 0, nullptr, nullptr, 0, false},
    {"image with bit 7 ranks above all", 0x01, 0x7F, 0x94, 0,
     "SCANNER VERSION: 7.15 (a field upgrade)\nUPDATER VERSION: 1.4",
     "The version of the DSP Application in the scanner is 7.15, and\nis a field-upgraded version.\n\n"
     "This update utility contains version 1.4.",
     MB_ICONINFORMATION, true},
};

TEST(ConnectionTest, VersionOutcomes)
{
    for (const auto& c : kVersionCases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        h.NormalScanner(c.byte1, c.byte2);
        const FirmwareImage image = ImageWithVersion(c.imageVersion);
        CUpdaterDlg dlg(nullptr, image);
        bool bannerBeforeBox = true;
        bool portClosedDuringBox = true;
        h.windows.OnMessageBox([&](const testwin::MessageBoxRecord& box) {
            if (c.box != nullptr && box.text == c.box) {
                bannerBeforeBox = h.Main().Control(IDC_VERSION_TEXT)->text == c.banner;
                portClosedDuringBox = !h.ports.Record().open;
            }
        });
        h.Run(dlg, [&](testwin::TestDialog& d) {
            if (c.answer != 0) {
                h.windows.QueueAnswer(c.answer);
            }
            EXPECT_TRUE(d.Click(IDC_TEST));
        });
        // The first box is the start-up warning.
        const auto& boxes = h.windows.MessageBoxes();
        ASSERT_EQ(boxes.size(), c.box != nullptr ? 2u : 1u);
        if (c.box != nullptr) {
            EXPECT_EQ(boxes[1].text, c.box);
            EXPECT_EQ(boxes[1].style, c.style);
            EXPECT_EQ(boxes[1].caption, ApplicationName());
        }
        EXPECT_EQ(h.Main().Control(IDC_VERSION_TEXT)->text, c.banner != nullptr ? c.banner : kInitialBanner);
        EXPECT_TRUE(bannerBeforeBox);
        EXPECT_TRUE(portClosedDuringBox);
        const bool changed = c.box != nullptr;
        EXPECT_EQ(h.Enabled(IDC_TEST), !changed || !c.allowed);
        EXPECT_EQ(h.Enabled(IDC_UPDATE), changed && c.allowed);
        EXPECT_EQ(h.Enabled(IDC_PORT_LIST), !changed || !c.allowed);
        EXPECT_EQ(dlg.m_nPort, 0);
        EXPECT_EQ(h.ports.OpenedPaths(), std::vector<std::string>{"\\\\.\\COM1"});
    }
}

TEST(ConnectionTest, PortThatWillNotOpenNamesItsNumber)
{
    AppHarness h;
    CUpdaterDlg dlg;
    const std::uint64_t before = h.clock.Now();
    h.Run(dlg, [&](testwin::TestDialog& d) {
        d.Select(IDC_PORT_LIST, 11);
        d.Click(IDC_TEST);
    });
    ASSERT_EQ(h.windows.MessageBoxes().size(), 2u);
    EXPECT_EQ(h.windows.MessageBoxes()[1].text,
              "Unable to open the port COM12. Make sure that it actually\nexists and is not being used by any other "
              "program (e.g. a\nPDA program like Palm's HotSync).\n\nPlease retry from Step 2.");
    EXPECT_EQ(h.windows.MessageBoxes()[1].style, MB_ICONWARNING);
    EXPECT_EQ(dlg.m_nPort, 11);
    EXPECT_EQ(h.ports.OpenedPaths().back(), "\\\\.\\COM12");
    EXPECT_EQ(h.clock.Now(), before);  // no pause, no exchange
    EXPECT_TRUE(h.Enabled(IDC_TEST));
    EXPECT_FALSE(h.Enabled(IDC_UPDATE));
}

TEST(ConnectionTest, SilentScannerAsksToRetryFromStepOne)
{
    AppHarness h;
    CUpdaterDlg dlg;
    bool portClosedDuringBox = false;
    h.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) { portClosedDuringBox = !h.ports.Record().open; });
    std::uint64_t took = 0;
    h.Run(dlg, [&](testwin::TestDialog& d) {
        const std::uint64_t start = h.clock.Now();
        d.Click(IDC_TEST);
        took = h.clock.Now() - start;
    });
    ASSERT_EQ(h.windows.MessageBoxes().size(), 2u);
    EXPECT_EQ(h.windows.MessageBoxes()[1].text,
              "No response (or incomplete response) from the scanner.\nEnsure that the selected COM port is correct, "
              "a supported cable\nis connected between the port and the scanner, and the scanner\nis turned ON."
              "\n\nPlease retry from Step 1.");
    EXPECT_EQ(h.windows.MessageBoxes()[1].style, MB_ICONWARNING);
    EXPECT_TRUE(portClosedDuringBox);
    EXPECT_THAT(h.peer.Written(), testing::ElementsAre(0x05, 0x05, 0x05));
    EXPECT_EQ(took, 100u + 200u + 3u * 1004u);  // three waits, each ended by the first 4 ms poll past 1000
    EXPECT_EQ(h.Main().Control(IDC_VERSION_TEXT)->text, kInitialBanner);
    EXPECT_TRUE(h.Enabled(IDC_TEST));
    EXPECT_FALSE(h.Enabled(IDC_UPDATE));
    EXPECT_TRUE(h.Enabled(IDC_PORT_LIST));
}

TEST(ConnectionTest, FailedExchangeLeavesItsPacketsUntilTheNextPress)
{
    AppHarness h;
    h.peer.onReceive = [](testing_support::ScriptedPeer& p, std::span<const std::uint8_t> b, std::uint64_t now) {
        if (b.size() == 1 && b[0] == 0x05) {
            p.Send({0x07}, now + 2);  // BEL
        }
    };
    CUpdaterDlg dlg;
    h.Run(dlg, [&](testwin::TestDialog& d) {
        d.Click(IDC_TEST);
        ASSERT_EQ(dlg.m_packets.size(), 1u);
        EXPECT_EQ(dlg.m_packets.front()->m_nType, PACKET_VERSION);
        EXPECT_THAT(h.windows.MessageBoxes().back().text, testing::StartsWith("The scanner reports an error"));
        h.NormalScanner(0x01, 0x13);
        h.peer.chunks.clear();
        d.Click(IDC_TEST);
        EXPECT_TRUE(dlg.m_packets.empty());
        EXPECT_THAT(h.peer.Written(), testing::ElementsAre(0x05, 0x56, 0x06));  // the leftover is not sent
    });
    EXPECT_TRUE(h.Enabled(IDC_UPDATE));
}

TEST(ConnectionTest, AnExchangeThatLearnsNothingShowsNothing)
{
    // Each test clears the version fields before its exchange: a second test
    // that ends before it asks anything shows no stale version.
    AppHarness h;
    h.NormalScanner(0x01, 0x95);  // newer, factory: a question, answered No
    CUpdaterDlg dlg;
    h.Run(dlg, [&](testwin::TestDialog& d) {
        h.windows.QueueAnswer(IDNO);
        d.Click(IDC_TEST);
        ASSERT_TRUE(h.Enabled(IDC_TEST));
        testing_support::ThrowingClock interrupted(h.clock);
        platform::ScopedServices scoped(interrupted, h.ports);
        d.Click(IDC_TEST);
    });
    EXPECT_EQ(h.windows.MessageBoxes().size(), 2u);  // the warning and the first question
    EXPECT_EQ(dlg.m_nReplyByte1, 0);
    EXPECT_EQ(dlg.m_nScannerVersion, 0);
    EXPECT_FALSE(dlg.m_bFactory);
}

}  // namespace
