#include "resources/Resources.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using platform::ControlKind;

// Position 0, 0 lets the window system centre the dialog on its owner;
// every dialog uses the same 8-point font.
void ExpectCentredFrame(const platform::DialogTemplate& t)
{
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.fontName, "MS Sans Serif");
    EXPECT_EQ(t.fontSize, 8);
}

void ExpectPlaced(const platform::ControlTemplate& c, int x, int y, int cx, int cy)
{
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
    EXPECT_EQ(c.cx, cx);
    EXPECT_EQ(c.cy, cy);
}

TEST(Resources, MainDialogHasItsTwentyControlsInTabOrder)
{
    const platform::DialogTemplate* main = resources::FindTemplate(IDD_MAIN);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->caption, "VRT-58 DSP Update Utility");
    EXPECT_EQ(main->cx, 343);
    EXPECT_EQ(main->cy, 274);
    ExpectCentredFrame(*main);

    struct Expected {
        int id;
        ControlKind kind;
        std::string_view textStart;
        int x, y, cx, cy;
    };
    const Expected expected[] = {
        {IDOK, ControlKind::DefPushButton, "EXIT", 261, 234, 65, 14},
        {IDC_PORT_LIST, ControlKind::DropDownList, "", 261, 64, 65, 155},
        {IDC_STATIC, ControlKind::StaticLeft, "Connect the VRT-58", 32, 34, 220, 30},
        {IDC_STATIC, ControlKind::StaticRight, "1.", 7, 34, 21, 30},
        {IDC_STATIC, ControlKind::StaticLeft, "In the list", 32, 64, 220, 30},
        {IDC_STATIC, ControlKind::StaticRight, "2.", 7, 64, 21, 30},
        {IDC_STATIC, ControlKind::StaticLeft, "Click the 'TEST'", 32, 94, 220, 30},
        {IDC_STATIC, ControlKind::StaticRight, "3.", 7, 94, 21, 30},
        {IDC_TEST, ControlKind::PushButton, "TEST", 261, 94, 65, 14},
        {IDC_UPDATE_TEXT, ControlKind::StaticLeft, "Click the 'UPDATE'", 32, 204, 220, 30},
        {IDC_STATIC, ControlKind::StaticRight, "7.", 7, 204, 21, 30},
        {IDC_UPDATE, ControlKind::PushButton, "UPDATE", 261, 204, 65, 14},
        {IDC_DONE_TEXT, ControlKind::StaticLeft, "Operation complete.", 32, 234, 220, 30},
        {IDC_STATIC, ControlKind::StaticLeft, "Turn the scanner OFF", 32, 124, 220, 20},
        {IDC_STATIC, ControlKind::StaticRight, "4.", 7, 124, 21, 20},
        {IDC_STATIC, ControlKind::StaticLeft, "Reconnect", 32, 184, 220, 20},
        {IDC_STATIC, ControlKind::StaticRight, "6.", 7, 184, 21, 20},
        {IDC_STATIC, ControlKind::StaticLeft, "Turn the scanner back ON", 32, 144, 220, 40},
        {IDC_STATIC, ControlKind::StaticRight, "5.", 7, 144, 21, 40},
        {IDC_VERSION_TEXT, ControlKind::StaticCenter, "SCANNER VERSION", 7, 6, 329, 24},
    };
    ASSERT_EQ(main->controls.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("control #" + std::to_string(i + 1));
        const platform::ControlTemplate& control = main->controls[i];
        EXPECT_EQ(control.id, expected[i].id);
        EXPECT_EQ(control.kind, expected[i].kind);
        EXPECT_TRUE(control.text.starts_with(expected[i].textStart));
        ExpectPlaced(control, expected[i].x, expected[i].y, expected[i].cx, expected[i].cy);
        // Only the three buttons and the list take the focus; every text is a group.
        const bool isStatic = control.kind == ControlKind::StaticLeft ||
                              control.kind == ControlKind::StaticRight ||
                              control.kind == ControlKind::StaticCenter;
        EXPECT_EQ(control.tabStop, !isStatic);
        EXPECT_EQ(control.group, isStatic);
    }

    const auto& c = main->controls;
    EXPECT_EQ(c[9].text,
              "Click the 'UPDATE' button to the right. This will update the VRT-58 DSP firmware "
              "to version ");
    EXPECT_EQ(c[17].text,
              "Turn the scanner back ON and, while the \"Welcome\" message is displayed, press 0 "
              "PGM ENTER (in sequence). This will place the scanner in its DSP update mode.");
    EXPECT_EQ(c[19].text, "SCANNER VERSION: 00.00     UPDATER VERSION: 00.00");

    // Only UPDATE starts disabled (it waits for a test) and only the
    // completion text starts hidden (it waits for an update).
    EXPECT_TRUE(c[1].vScroll);
    EXPECT_FALSE(c[1].sorted);  // COM10 must follow COM9
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].disabled, i == 11) << "control #" << i + 1;
        EXPECT_EQ(c[i].hidden, i == 12) << "control #" << i + 1;
    }
    // No minimise box and no maximise box.
    EXPECT_EQ(main->style, platform::WS_POPUP | platform::WS_VISIBLE | platform::WS_CAPTION | platform::WS_SYSMENU |
                               platform::DS_MODALFRAME | platform::DS_SETFONT);
    EXPECT_EQ(main->exStyle, platform::WS_EX_APPWINDOW);
}

TEST(Resources, ProgressAndAboutTemplates)
{
    const platform::DialogTemplate* progress = resources::FindTemplate(IDD_PROGRESS);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->style, 0x80C000C0u);  // hidden at creation, no system menu
    EXPECT_EQ(progress->exStyle, 0u);
    EXPECT_EQ(progress->caption, "");
    EXPECT_EQ(progress->cx, 181);
    EXPECT_EQ(progress->cy, 28);
    ExpectCentredFrame(*progress);
    ASSERT_EQ(progress->controls.size(), 1u);
    EXPECT_EQ(progress->controls[0].id, IDC_PROGRESS);
    EXPECT_EQ(progress->controls[0].text, "Progress1");
    ExpectPlaced(progress->controls[0], 7, 7, 167, 14);
    EXPECT_EQ(progress->controls[0].kind, ControlKind::ProgressBar);
    EXPECT_TRUE(progress->controls[0].smooth);
    EXPECT_TRUE(progress->controls[0].border);

    const platform::DialogTemplate* about = resources::FindTemplate(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->caption, "About the VRT-58 DSP Update Utility");
    EXPECT_EQ(about->style,  // not visible: the framework shows it once initialised
              platform::WS_POPUP | platform::WS_CAPTION | platform::WS_SYSMENU | platform::DS_MODALFRAME |
                  platform::DS_SETFONT);
    EXPECT_EQ(about->exStyle, 0u);
    EXPECT_EQ(about->cx, 259);
    EXPECT_EQ(about->cy, 66);
    ExpectCentredFrame(*about);
    ASSERT_EQ(about->controls.size(), 4u);
    ExpectPlaced(about->controls[0], 11, 17, 20, 20);
    ExpectPlaced(about->controls[1], 40, 12, 152, 8);
    ExpectPlaced(about->controls[2], 40, 27, 152, 8);
    ExpectPlaced(about->controls[3], 202, 7, 50, 14);
    EXPECT_EQ(about->controls[0].id, IDC_STATIC);
    EXPECT_EQ(about->controls[2].id, IDC_STATIC);
    EXPECT_EQ(about->controls[2].kind, ControlKind::StaticLeft);
    EXPECT_TRUE(about->controls[2].group);
    EXPECT_EQ(about->controls[3].text, "OK");
    EXPECT_TRUE(about->controls[3].group);
    EXPECT_TRUE(about->controls[3].tabStop);
    EXPECT_EQ(about->controls[0].kind, ControlKind::Icon);
    EXPECT_EQ(about->controls[0].icon, resources::FindIcon(IDR_MAINFRAME));
    EXPECT_NE(about->controls[0].icon, nullptr);
    EXPECT_EQ(about->controls[1].id, IDC_ABOUT_TITLE);
    EXPECT_EQ(about->controls[1].text, "VRT-58 DSP Update Utility");
    EXPECT_TRUE(about->controls[1].noPrefix);
    EXPECT_EQ(about->controls[3].id, IDOK);
    EXPECT_EQ(about->controls[3].kind, ControlKind::DefPushButton);

    EXPECT_EQ(resources::FindTemplate(101), nullptr);
}

TEST(Resources, VersionData)
{
    const resources::VersionInfo& v = resources::VersionResource();
    EXPECT_EQ(v.fileVersion, (std::array<std::uint16_t, 4>{0, 0, 1, 4}));
    EXPECT_EQ(v.productVersion, (std::array<std::uint16_t, 4>{0, 0, 1, 4}));
    EXPECT_EQ(v.productName, "VRT-58 DSP Update Utility");
    EXPECT_EQ(v.fileDescription, "VRT58DSPUpdater");
    EXPECT_EQ(v.internalName, "VRT58DSPUpdater");
    EXPECT_EQ(v.originalFilename, "VRT58DSPUpdater.EXE");
    EXPECT_EQ(v.language, 0x0409);
    EXPECT_EQ(v.codePage, 0x04B0);
}

TEST(Resources, StringsAndMissingResources)
{
    EXPECT_EQ(resources::LoadString(IDS_ABOUTBOX), "&About the VRT-58 DSP Update Utility...");
    EXPECT_EQ(resources::LoadString(102), "");
    EXPECT_TRUE(resources::FindAccelerators(IDR_MAINFRAME).empty());
    EXPECT_EQ(resources::FindIcon(IDR_ACCELERATORS), nullptr);
}

TEST(Resources, AcceleratorsTakeExactlyAltF3F4AndAltF5)
{
    const auto table = resources::FindAccelerators(IDR_ACCELERATORS);
    using platform::FALT;
    using platform::FCONTROL;
    using platform::FSHIFT;
    struct Case {
        std::uint16_t key;
        std::uint8_t modifiers;
        std::uint16_t command;
    };
    const Case cases[] = {
        {platform::VK_F3, FALT, ID_SHOW_MESSAGES},
        {platform::VK_F4, 0, ID_SHOW_MESSAGES},
        {platform::VK_F5, FALT, ID_SHOW_MESSAGES},
        {platform::VK_F3, 0, 0},
        {platform::VK_F4, FALT, 0},  // closes the dialog instead
        {platform::VK_F5, 0, 0},
        {platform::VK_F4, FSHIFT, 0},
        {platform::VK_F3, FALT | FCONTROL, 0},
        {platform::VK_F2, FALT, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::TranslateAccelerator(table, c.key, c.modifiers), c.command)
            << "key 0x" << std::hex << c.key << " modifiers 0x" << int(c.modifiers);
    }
}

TEST(Resources, IconImagesAreCompleteAndUseThePalette)
{
    const platform::IconResource* icon = resources::FindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->images.size(), 2u);
    EXPECT_EQ(icon->images[0].width, 32);
    EXPECT_EQ(icon->images[1].width, 16);
    for (const platform::IconImage& image : icon->images) {
        ASSERT_EQ(image.rows.size(), static_cast<std::size_t>(image.height));
        for (std::string_view row : image.rows) {
            ASSERT_EQ(row.size(), static_cast<std::size_t>(image.width)) << row;
            EXPECT_EQ(row.find_first_not_of(".0123456789ABCDEF"), std::string_view::npos) << row;
        }
    }
}

}  // namespace
