// The main dialog's start, its system commands and keys, the About box and
// the hidden messages, against the test window system.
#include "app/AppText.h"
#include "app/CAboutDlg.h"
#include "app/Messages.h"
#include "resources/Resources.h"
#include "support/AppHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace platform;
using testing_support::AppHarness;

namespace {

constexpr const char* kWarning =
    "IMPORTANT!!!\n\nBefore attempting to use this utility, please ensure that you can transfer data\n"
    "between the VRT-58 and your PC, using a supported cable. A good test would be\n"
    "to acquire one of the data-management programs available, and perform a few\n"
    "upload and download operations between such a program and your scanner.\n\n"
    "The steps described in this utility are written with the presumption that you\n"
    "already have a suitable data transfer cable and are familiar with using that\n"
    "cable to connect your VRT-58 to your computer.\n\n"
    "Please be assured that you cannot 'destroy' your radio with this utility - you\n"
    "can always revert to the factory DSP programming via the procedure described in\n"
    "the VRT-58 manual.\n\nAre you ready to proceed with this update utility?";

TEST(MainDialogTest, StartsWithItsListVersionsAndWarning)
{
    AppHarness h;
    CUpdaterDlg dlg;
    int result = 0;
    h.windows.OnModal(IDD_MAIN, [&](testwin::TestDialog& d) { d.Click(IDOK); });
    // The warning comes last in the initialisation: list and texts are ready.
    std::size_t entriesAtWarning = 0;
    std::string captionAtWarning;
    h.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
        entriesAtWarning = h.Main().Control(IDC_PORT_LIST)->entries.size();
        captionAtWarning = h.Main().caption;
    });
    h.windows.QueueAnswer(IDYES);
    result = dlg.DoModal();
    EXPECT_EQ(result, IDOK);

    const auto& main = h.Main();
    EXPECT_EQ(main.caption, "VRT-58 DSP Update Utility 1.4");
    EXPECT_EQ(main.Control(IDC_VERSION_TEXT)->text, "SCANNER VERSION: ?.?\nUPDATER VERSION: 1.4");
    EXPECT_EQ(main.Control(IDC_UPDATE_TEXT)->text,
              "Click the 'UPDATE' button to the right. This will update the VRT-58 DSP firmware to version  1.4");
    const auto& ports = *main.Control(IDC_PORT_LIST);
    ASSERT_EQ(ports.entries.size(), 256u);
    EXPECT_EQ(ports.entries[0], "COM1");
    EXPECT_EQ(ports.entries[9], "COM10");
    EXPECT_EQ(ports.entries[255], "COM256");
    EXPECT_EQ(ports.selection, 0);
    EXPECT_TRUE(ports.enabled);
    EXPECT_TRUE(main.Control(IDC_TEST)->enabled);
    EXPECT_FALSE(main.Control(IDC_UPDATE)->enabled);
    EXPECT_FALSE(main.Control(IDC_DONE_TEXT)->visible);
    EXPECT_THAT(main.systemMenu, testing::ElementsAre(testing::Field(&testwin::MenuItem::separator, true),
                                                      testing::Field(&testwin::MenuItem::command, IDM_ABOUTBOX)));
    EXPECT_EQ(main.systemMenu[1].text, "&About the VRT-58 DSP Update Utility...");
    EXPECT_EQ(main.icon, resources::FindIcon(IDR_MAINFRAME));
    EXPECT_EQ(main.accelerators.size(), 3u);

    ASSERT_EQ(h.windows.MessageBoxes().size(), 1u);
    const auto& warning = h.windows.MessageBoxes()[0];
    EXPECT_EQ(warning.text, kWarning);
    EXPECT_EQ(warning.style, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2);
    EXPECT_EQ(warning.caption, ApplicationName());
    EXPECT_EQ(entriesAtWarning, 256u);
    EXPECT_EQ(captionAtWarning, "VRT-58 DSP Update Utility 1.4");
}

TEST(MainDialogTest, AnythingButYesClosesWithoutTouchingAPort)
{
    for (const int answer : {IDNO, 0}) {
        SCOPED_TRACE(answer);
        AppHarness h;
        CUpdaterDlg dlg;
        bool scriptRan = false;
        h.windows.OnModal(IDD_MAIN, [&](testwin::TestDialog&) { scriptRan = true; });
        h.windows.QueueAnswer(answer);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_FALSE(scriptRan);  // the posted close came first
        EXPECT_TRUE(h.ports.OpenedPaths().empty());
    }
}

TEST(MainDialogTest, AboutItemAndOtherSystemCommands)
{
    for (const std::uint32_t command : {16u, 17u, 31u, 32u, 0xF060u}) {
        SCOPED_TRACE(command);
        AppHarness h;
        CUpdaterDlg dlg;
        int aboutsSeen = 0;
        h.windows.OnModal(IDD_ABOUTBOX, [&](testwin::TestDialog& about) {
            ++aboutsSeen;
            EXPECT_EQ(about.Record().Control(IDC_ABOUT_TITLE)->text, "VRT-58 DSP Update Utility 1.4");
            about.PressKey(VK_RETURN);
        });
        std::string before;
        bool handled = false;
        bool closed = false;
        h.Run(dlg, [&](testwin::TestDialog& d) {
            before = d.Record().Control(IDC_VERSION_TEXT)->text;
            if (command == IDM_ABOUTBOX || command == SC_CLOSE) {
                EXPECT_TRUE(d.ChooseSystemMenuItem(command));  // as the user does
            } else {
                handled = dlg.OnSysCommand(d, command);
            }
            if (command != SC_CLOSE) {
                dlg.OnSysCommand(d, command);  // a second opening starts afresh
            }
            closed = d.Ended();
        });
        const bool about = (command & 0xFFF0) == 16;
        EXPECT_EQ(aboutsSeen, about ? 2 : 0);
        if (command != IDM_ABOUTBOX && command != SC_CLOSE) {
            EXPECT_EQ(handled, about);  // the rest go to the default handling
        }
        EXPECT_EQ(closed, command == SC_CLOSE);
        if (about) {
            EXPECT_EQ(h.windows.DialogsFrom(IDD_ABOUTBOX)[0]->owner, &h.Main());
            EXPECT_EQ(h.Main().Control(IDC_VERSION_TEXT)->text, before);
        }
    }
}

TEST(MainDialogTest, HiddenMessageKeysWhateverHasTheFocus)
{
    struct Key {
        std::uint16_t key;
        std::uint8_t modifiers;
        bool shows;
    };
    const Key keys[] = {{VK_F3, FALT, true}, {VK_F4, 0, true}, {VK_F5, FALT, true},
                        {VK_F3, 0, false},   {VK_F5, 0, false}, {VK_F4, FALT | FSHIFT, false},
                        {VK_F1, 0, false}};
    for (const auto& k : keys) {
        SCOPED_TRACE(testing::Message() << k.key << "/" << int(k.modifiers));
        AppHarness h;
        CUpdaterDlg dlg;
        h.Run(dlg, [&](testwin::TestDialog& d) { d.PressKey(k.key, k.modifiers); });
        const auto& boxes = h.windows.MessageBoxes();
        ASSERT_EQ(boxes.size(), k.shows ? 2u : 1u);
        if (k.shows) {
            EXPECT_EQ(boxes[1].style, MB_ICONINFORMATION);
            EXPECT_EQ(boxes[1].text, "Firmware for the DSP\n\n"
                                     "Written so that owners can install new DSP firmware themselves, at home too."
                                     "\n\nThanks to everyone who tested this updater.\n\nKeep on listening!\n\n");
        }
    }
}

TEST(HiddenMessagesTest, StoredScrambled)
{
    std::vector<std::size_t> lengths;
    for (const char* const* p = g_scrambledMessages; *p != nullptr; ++p) {
        lengths.push_back(std::strlen(*p));
        for (const char* c = *p; *c != 0; ++c) {
            const auto b = static_cast<unsigned char>(*c);
            const auto text = static_cast<unsigned char>(Unscramble(std::string(1, *c).c_str())[0]);
            EXPECT_EQ(b, static_cast<unsigned char>((text << 3) | (text >> 5)));
        }
    }
    EXPECT_THAT(lengths, testing::ElementsAre(20u, 76u, 43u, 18u));

    const char* const empty[] = {nullptr};
    EXPECT_EQ(JoinedMessages(empty), "");  // an empty table: an empty box

    const char abc[] = {0x0B, 0x13, 0x1B, 0x00, 0x0B};
    EXPECT_EQ(Unscramble(abc), "abc");
    EXPECT_EQ(Unscramble(""), "");
    EXPECT_EQ(abc[0], 0x0B);  // input untouched
}

TEST(MainDialogTest, MinimisedIconIsCentred)
{
    using P = std::pair<int, int>;
    EXPECT_EQ(CUpdaterDlg::IconPosition({0, 0, 100, 60}, 32, 32), (P{34, 14}));
    EXPECT_EQ(CUpdaterDlg::IconPosition({0, 0, 33, 33}, 32, 32), (P{1, 1}));
    EXPECT_EQ(CUpdaterDlg::IconPosition({0, 0, 10, 10}, 32, 32), (P{-10, -10}));  // truncates toward zero
}

TEST(AboutBoxTest, VersionShownOnceAndWithoutBitSeven)
{
    AppHarness h;
    FirmwareImage image = g_firmwareImage;
    image.version = 0x9A;
    int runs = 0;
    h.windows.OnModal(IDD_ABOUTBOX, [&](testwin::TestDialog& d) {
        ++runs;
        EXPECT_EQ(d.Record().Control(IDC_ABOUT_TITLE)->text, "VRT-58 DSP Update Utility 1.10");
    });
    CAboutDlg(nullptr, image).DoModal();
    CAboutDlg(nullptr, image).DoModal();
    EXPECT_EQ(runs, 2);
}

}  // namespace
