// The UPDATE button end to end in virtual time: sync byte, header, paced
// stream, progress window, the finish, and every way out.
#include "support/AppHarness.h"
#include "ui/CProgressDlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace platform;
using testing::ElementsAre;
using testing_support::AppHarness;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr const char* kNoSync = "No data from the scanner. Please retry from step 4";
constexpr const char* kDone = "Operation complete. You may exit this utility by clicking the 'EXIT' button.";

FirmwareImage ImageOfLength(std::uint16_t length)
{
    static FirmwareImage image{};
    image = g_firmwareImage;
    image.length = length;
    for (std::uint32_t i = 27038; i < length; ++i) {
        image.payload[i] = static_cast<std::uint8_t>(i * 7);
    }
    return image;
}

// A test allowed the update; then the scanner, restarted in update mode,
// announces itself with 'U' `syncAfter` ms into the UPDATE press.
class UploadTest : public testing::Test {
protected:
    UploadTest() { h.clock.SetCostPerTick(1); }  // the sync wait polls without sleeping

    void Press(const FirmwareImage& image, std::function<void()> beforeUpdate = {})
    {
        dlg = std::make_unique<CUpdaterDlg>(nullptr, image);
        h.NormalScanner(0x01, 0x13);
        h.windows.PresetWindowRect(IDD_MAIN, {100, 100, 700, 600});
        h.Run(*dlg, [&](testwin::TestDialog& d) {
            d.Select(IDC_PORT_LIST, 2);  // COM3: the port that was tested is the one updated
            ASSERT_TRUE(d.Click(IDC_TEST));
            ASSERT_TRUE(d.Record().Control(IDC_UPDATE)->enabled);
            h.peer.onReceive = {};
            h.peer.chunks.clear();
            if (beforeUpdate) {
                beforeUpdate();
            }
            pressedAt = h.clock.Now();
            ASSERT_TRUE(d.Click(IDC_UPDATE));
            took = h.clock.Now() - pressedAt;
        });
    }

    // What the scanner received after the press, and when, relative to it.
    Bytes Received() const { return h.peer.Written(); }

    AppHarness h{0xFFFF0000u, 3};
    std::unique_ptr<CUpdaterDlg> dlg;
    std::uint64_t pressedAt = 0;
    std::uint64_t took = 0;
};

TEST_F(UploadTest, ThisBuildsImageGoesOutWhole)
{
    std::vector<std::size_t> windowsAtWrite;  // progress windows made when each write went out
    Press(g_firmwareImage, [&] {
        // The 'U' is waiting when the window opens, so nothing polls and
        // reading the clock may be free: every pause shows exactly.
        h.clock.SetCostPerTick(0);
        h.peer.Send({'U'}, h.clock.Now() + 50);
        h.windows.PresetWindowRect(IDD_PROGRESS, {0, 0, 281, 61});
        h.peer.onReceive = [&](testing_support::ScriptedPeer&, std::span<const std::uint8_t>, std::uint64_t) {
            windowsAtWrite.push_back(h.windows.DialogsFrom(IDD_PROGRESS).size());
        };
    });

    const Bytes got = Received();
    ASSERT_EQ(got.size(), 6u + 27038u);
    EXPECT_THAT(Bytes(got.begin(), got.begin() + 6), ElementsAre(0x66, 0x02, 0x34, 0xCF, 0x03, 0x06));
    EXPECT_TRUE(std::equal(got.begin() + 6, got.end(), g_firmwareImage.payload));

    // One write for the header, then 270 chunks of 100 and one of 38, each
    // followed by the line time and the 100 ms pause.
    const auto& chunks = h.peer.chunks;
    ASSERT_EQ(chunks.size(), 272u);
    EXPECT_EQ(chunks[0].bytes.size(), 6u);
    EXPECT_EQ(chunks[1].at - chunks[0].at, 3u + 200u);  // header: 3 ms on the line, then 200 ms
    for (std::size_t i = 1; i < 271; ++i) {
        ASSERT_EQ(chunks[i].bytes.size(), 100u);
        ASSERT_EQ(chunks[i + 1].at - chunks[i].at, 52u + 100u);
    }
    EXPECT_EQ(chunks[271].bytes.size(), 38u);

    const auto progress = h.windows.DialogsFrom(IDD_PROGRESS);
    ASSERT_EQ(progress.size(), 1u);
    const auto& bar = *progress[0]->Control(IDC_PROGRESS);
    EXPECT_EQ(progress[0]->caption, "Updating DSP");
    EXPECT_EQ(bar.rangeLower, 0);
    EXPECT_EQ(bar.rangeUpper, 27038);
    ASSERT_EQ(bar.positions.size(), 271u);
    EXPECT_EQ(bar.positions.front(), 100);
    EXPECT_EQ(bar.positions.back(), 27038);
    EXPECT_TRUE(progress[0]->destroyed);
    EXPECT_EQ(progress[0]->owner, &h.Main());
    EXPECT_EQ(windowsAtWrite.front(), 0u);  // the header goes out before the window opens
    EXPECT_EQ(windowsAtWrite[1], 1u);
    // Centred on the main dialog at (100, 100)-(700, 600): 400 - 281 / 2, 350 - 61 / 2.
    EXPECT_EQ(progress[0]->rect, (Rect{260, 320, 541, 381}));

    EXPECT_TRUE(h.Main().Control(IDC_DONE_TEXT)->visible);
    EXPECT_EQ(h.Main().Control(IDC_DONE_TEXT)->text, kDone);
    EXPECT_FALSE(h.Enabled(IDC_TEST));
    EXPECT_FALSE(h.Enabled(IDC_UPDATE));
    EXPECT_TRUE(h.Enabled(IDC_PORT_LIST));
    EXPECT_EQ(h.windows.MessageBoxes().size(), 2u);  // the warning and the test's box only
    EXPECT_FALSE(h.ports.Record().open);
    EXPECT_EQ(h.windows.WaitCursorBegins(), 1);
    EXPECT_FALSE(h.windows.IsWaitCursorOn());
    EXPECT_EQ(took, 100u + 203u + 270u * 152u + 19u + 100u);  // the last chunk: 38 bytes, 19 ms
    EXPECT_EQ(h.ports.OpenedPaths(), (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM3"}));
}

TEST_F(UploadTest, HeaderCountsWordsAndTheStreamCountsBytes)
{
    struct Case {
        std::uint16_t length;
        Bytes header;
        std::size_t positions;
    };
    const Case cases[] = {
        {0, {0x66, 0x02, 0x00, 0x00, 0x03, 0x03}, 0},
        {27039, {0x66, 0x02, 0x34, 0xCF, 0x03, 0x06}, 271},
        {65535, {0x66, 0x02, 0x7F, 0xFF, 0x03, 0x81}, 656},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        h.peer.chunks.clear();
        AppHarness fresh;
        fresh.clock.SetCostPerTick(1);
        std::swap(h.peer.onReceive, fresh.peer.onReceive);
        const FirmwareImage image = ImageOfLength(c.length);
        CUpdaterDlg local(nullptr, image);
        fresh.NormalScanner(0x01, 0x13);
        fresh.Run(local, [&](testwin::TestDialog& d) {
            d.Click(IDC_TEST);
            fresh.peer.onReceive = {};
            fresh.peer.chunks.clear();
            fresh.peer.Send({'U'}, fresh.clock.Now() + 150);
            d.Click(IDC_UPDATE);
        });
        const Bytes got = fresh.peer.Written();
        ASSERT_EQ(got.size(), 6u + c.length);
        EXPECT_EQ(Bytes(got.begin(), got.begin() + 6), c.header);
        EXPECT_TRUE(std::equal(got.begin() + 6, got.end(), image.payload));
        const auto& bar = *fresh.windows.DialogsFrom(IDD_PROGRESS)[0]->Control(IDC_PROGRESS);
        EXPECT_EQ(bar.rangeUpper, c.length);
        EXPECT_EQ(bar.positions.size(), c.positions);
        EXPECT_TRUE(fresh.Main().Control(IDC_DONE_TEXT)->visible);
    }
}

TEST_F(UploadTest, NoiseBeforeTheSyncByteIsDropped)
{
    Press(g_firmwareImage, [&] {
        h.ports.Record().reads.clear();
        h.peer.Send({0x00, 0x13}, h.clock.Now() + 120);
        h.peer.Send({'U', 0xEE, 0xEE}, h.clock.Now() + 300);
        // A flood during the stream is drained, 200 bytes after each chunk.
        h.peer.Send(Bytes(450, 0xAB), h.clock.Now() + 1000);
    });
    const Bytes got = Received();
    ASSERT_EQ(got.size(), 6u + 27038u);
    EXPECT_EQ(h.peer.chunks[0].at - pressedAt, 300u + 2u);  // the header follows the 'U' at once
    EXPECT_TRUE(h.Main().Control(IDC_DONE_TEXT)->visible);
    const auto& reads = h.ports.Record().reads;
    EXPECT_EQ(*std::max_element(reads.begin(), reads.end()), 200u);  // the drain's buffer, filled and no more
}

TEST_F(UploadTest, ShortWritesAdvanceByWhatWentOut)
{
    Press(g_firmwareImage, [&] {
        h.peer.Send({'U'}, h.clock.Now() + 150);
        h.ports.Faults().shortWriteLimit = 4;  // every write takes 4 bytes at most
    });
    const Bytes got = Received();
    ASSERT_EQ(got.size(), 6u + 27038u);
    EXPECT_THAT(Bytes(got.begin(), got.begin() + 6), ElementsAre(0x66, 0x02, 0x34, 0xCF, 0x03, 0x06));
    EXPECT_TRUE(std::equal(got.begin() + 6, got.end(), g_firmwareImage.payload));
    EXPECT_EQ(h.peer.chunks[1].bytes.size(), 2u);  // the header's rest, from its offset
    const auto& bar = *h.windows.DialogsFrom(IDD_PROGRESS)[0]->Control(IDC_PROGRESS);
    ASSERT_EQ(bar.positions.size(), 6760u);
    EXPECT_EQ(bar.positions.front(), 4);
    EXPECT_EQ(bar.positions.back(), 27038);
    EXPECT_TRUE(h.Main().Control(IDC_DONE_TEXT)->visible);
}

TEST_F(UploadTest, MissingSyncByteAsksToRetryFromStepFour)
{
    // Times from the press; the window opens after the 100 ms pause. Noise
    // inside the window does not restart it.
    struct Case {
        std::uint64_t noiseAfter;
        std::uint64_t syncAfter;
    };
    for (const Case c : {Case{UINT64_MAX, 2150}, Case{UINT64_MAX, UINT64_MAX}, Case{2000, 2150}}) {
        SCOPED_TRACE(testing::Message() << "noise " << c.noiseAfter << " sync " << c.syncAfter);
        AppHarness fresh;
        fresh.clock.SetCostPerTick(1);
        CUpdaterDlg local;
        fresh.NormalScanner(0x01, 0x13);
        bool portOpenDuringBox = false;
        std::uint64_t took = 0;
        fresh.Run(local, [&](testwin::TestDialog& d) {
            d.Click(IDC_TEST);
            fresh.peer.onReceive = {};
            fresh.peer.chunks.clear();
            if (c.noiseAfter != UINT64_MAX) {
                fresh.peer.Send({0x00}, fresh.clock.Now() + c.noiseAfter);
            }
            if (c.syncAfter != UINT64_MAX) {
                fresh.peer.Send({'U'}, fresh.clock.Now() + c.syncAfter);
            }
            fresh.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
                portOpenDuringBox = fresh.ports.Record().open;
            });
            const auto start = fresh.clock.Now();
            d.Click(IDC_UPDATE);
            took = fresh.clock.Now() - start;
        });
        ASSERT_EQ(fresh.windows.MessageBoxes().size(), 3u);
        EXPECT_EQ(fresh.windows.MessageBoxes()[2].text, kNoSync);
        EXPECT_EQ(fresh.windows.MessageBoxes()[2].style, MB_ICONWARNING);
        EXPECT_TRUE(portOpenDuringBox);  // closed only once the box is dismissed
        EXPECT_FALSE(fresh.ports.Record().open);
        EXPECT_TRUE(fresh.peer.chunks.empty());
        // The pause, one clock reading to open the window, then one per
        // poll (each costs 1 ms here) until 2000 ms have passed.
        EXPECT_EQ(took, 100u + 1u + 2000u);
        EXPECT_TRUE(fresh.Enabled(IDC_UPDATE));
        EXPECT_FALSE(fresh.Enabled(IDC_TEST));
        EXPECT_TRUE(fresh.windows.DialogsFrom(IDD_PROGRESS).empty());
        EXPECT_FALSE(fresh.windows.IsWaitCursorOn());
    }
}

TEST_F(UploadTest, HeldPortFailsAtOnce)
{
    Press(g_firmwareImage, [&] { h.ports.SetHeld(true); });
    ASSERT_EQ(h.windows.MessageBoxes().size(), 3u);
    EXPECT_EQ(h.windows.MessageBoxes()[2].text,
              "Unable to open the port COM3. Make sure that it's actually\nexists and is not being used by any other "
              "program (e.g. a\nPDA program like Palm's HotSync).");
    EXPECT_EQ(h.windows.MessageBoxes()[2].style, MB_ICONWARNING);
    EXPECT_LE(took, 2u);  // no pause and no wait (reading the clock costs 1 ms here)
    EXPECT_TRUE(h.Enabled(IDC_UPDATE));
    EXPECT_EQ(h.windows.WaitCursorBegins(), 1);
    EXPECT_FALSE(h.windows.IsWaitCursorOn());
}

TEST_F(UploadTest, LineGoneMidwayEndsWithOurWarningNotCompletion)
{
    bool cursorOnDuringBox = false;
    bool progressGoneDuringBox = false;
    Press(g_firmwareImage, [&] {
        h.peer.Send({'U'}, h.clock.Now() + 150);
        h.peer.hangUpAt = h.clock.Now() + 10000;  // about 60 chunks in
        h.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
            cursorOnDuringBox = h.windows.IsWaitCursorOn();
            progressGoneDuringBox = h.windows.DialogsFrom(IDD_PROGRESS)[0]->destroyed;
        });
    });
    ASSERT_EQ(h.windows.MessageBoxes().size(), 3u);
    EXPECT_EQ(h.windows.MessageBoxes()[2].text,
              "The update did not complete: the scanner stopped taking data part way.\n\n"
              "Check the cable and the port, then retry from step 4.");
    EXPECT_EQ(h.windows.MessageBoxes()[2].style, MB_ICONWARNING);
    EXPECT_FALSE(cursorOnDuringBox);  // nothing runs any more while the user reads it
    EXPECT_TRUE(progressGoneDuringBox);
    EXPECT_FALSE(h.ports.Record().open);
    EXPECT_FALSE(h.Main().Control(IDC_DONE_TEXT)->visible);
    EXPECT_TRUE(h.Enabled(IDC_UPDATE));
    EXPECT_FALSE(h.windows.IsWaitCursorOn());
    EXPECT_LT(h.peer.Written().size(), 6u + 27038u);
    EXPECT_GT(took, 10000u + 5000u);
    EXPECT_LT(took, 10000u + 5000u + 400u);
}

// A build that carries the placeholder image sends it only to the
// simulator; a real image goes to any port.
TEST(PlaceholderGuardTest, ThePlaceholderGoesOnlyToTheSimulator)
{
    struct Case {
        bool placeholder;
        bool simulator;
        bool sent;
    };
    const Case cases[] = {
        {true, false, false},
        {true, true, true},
        {false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "placeholder " << c.placeholder << ", simulator " << c.simulator);
        AppHarness h;
        h.clock.SetCostPerTick(1);
        CUpdaterDlg dlg(nullptr, g_firmwareImage, c.placeholder);
        h.NormalScanner(0x01, 0x13);
        bool portOpenDuringBox = true;
        bool cursorOnDuringBox = true;
        h.Run(dlg, [&](testwin::TestDialog& d) {
            d.Click(IDC_TEST);
            h.peer.onReceive = {};
            h.peer.chunks.clear();
            h.ports.SetSimulator(c.simulator);
            h.peer.Send({'U'}, h.clock.Now() + 150);
            h.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
                portOpenDuringBox = h.ports.Record().open;
                cursorOnDuringBox = h.windows.IsWaitCursorOn();
            });
            d.Click(IDC_UPDATE);
        });
        EXPECT_FALSE(h.ports.Record().open);
        if (c.sent) {
            EXPECT_EQ(h.peer.Written().size(), 6u + 27038u);
            EXPECT_EQ(h.windows.MessageBoxes().size(), 2u);
            EXPECT_TRUE(h.Main().Control(IDC_DONE_TEXT)->visible);
            continue;
        }
        EXPECT_TRUE(h.peer.Written().empty());
        ASSERT_EQ(h.windows.MessageBoxes().size(), 3u);
        EXPECT_EQ(h.windows.MessageBoxes()[2].text,
                  "This copy of the utility carries a placeholder instead of DSP firmware 1.4, so it cannot update "
                  "a scanner. Nothing has been sent to the scanner.\n\nHow to build the utility with the real "
                  "image is described in firmware/README.md of its source.");
        EXPECT_EQ(h.windows.MessageBoxes()[2].style, MB_ICONWARNING);
        EXPECT_FALSE(portOpenDuringBox);
        EXPECT_FALSE(cursorOnDuringBox);
        EXPECT_TRUE(h.windows.DialogsFrom(IDD_PROGRESS).empty());
        EXPECT_FALSE(h.Main().Control(IDC_DONE_TEXT)->visible);
        EXPECT_TRUE(h.Enabled(IDC_UPDATE));
        EXPECT_FALSE(h.Enabled(IDC_TEST));
        EXPECT_FALSE(h.Enabled(IDC_PORT_LIST));
    }
}

TEST(ProgressWindowTest, CentredWithTruncatingHalves)
{
    const Rect own{0, 0, 280, 60};
    EXPECT_EQ(CProgressDlg::Centred({100, 100, 700, 600}, own), (Rect{260, 320, 540, 380}));
    EXPECT_EQ(CProgressDlg::Centred({101, 101, 700, 600}, own), (Rect{260, 320, 540, 380}));
    EXPECT_EQ(CProgressDlg::Centred({-700, -600, -100, -99}, {0, 0, 281, 61}), (Rect{-540, -379, -259, -318}));
}

}  // namespace
