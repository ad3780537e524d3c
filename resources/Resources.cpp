#include "Resources.h"

#include <algorithm>

namespace resources {

namespace {

using platform::AcceleratorEntry;
using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

constexpr std::string_view DIALOG_FONT = "MS Sans Serif";
constexpr int DIALOG_FONT_SIZE = 8;

// The main dialog: the seven steps, the port list, the version banner and
// the buttons. Template order is the tab order.
constexpr ControlTemplate MAIN_CONTROLS[] = {
    {.id = IDOK, .kind = ControlKind::DefPushButton, .text = "EXIT",
     .x = 261, .y = 234, .cx = 65, .cy = 14, .tabStop = true},
    {.id = IDC_PORT_LIST, .kind = ControlKind::DropDownList,
     .x = 261, .y = 64, .cx = 65, .cy = 155, .tabStop = true, .vScroll = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "Connect the VRT-58 to an available COM port on the PC, using a supported "
             "serial cable, and turn the scanner ON.",
     .x = 32, .y = 34, .cx = 220, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "1.",
     .x = 7, .y = 34, .cx = 21, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "In the list at the right, select the COM port to which the scanner is "
             "connected.",
     .x = 32, .y = 64, .cx = 220, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "2.",
     .x = 7, .y = 64, .cx = 21, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "Click the 'TEST' button to the right. This will test the connection to the "
             "scanner and retrieve the current DSP version.",
     .x = 32, .y = 94, .cx = 220, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "3.",
     .x = 7, .y = 94, .cx = 21, .cy = 30, .group = true},
    {.id = IDC_TEST, .kind = ControlKind::PushButton, .text = "TEST",
     .x = 261, .y = 94, .cx = 65, .cy = 14, .tabStop = true},
    // The trailing blank is the template's; the version is appended after it.
    {.id = IDC_UPDATE_TEXT, .kind = ControlKind::StaticLeft,
     .text = "Click the 'UPDATE' button to the right. This will update the VRT-58 DSP "
             "firmware to version ",
     .x = 32, .y = 204, .cx = 220, .cy = 30, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "7.",
     .x = 7, .y = 204, .cx = 21, .cy = 30, .group = true},
    {.id = IDC_UPDATE, .kind = ControlKind::PushButton, .text = "UPDATE",
     .x = 261, .y = 204, .cx = 65, .cy = 14, .tabStop = true, .disabled = true},
    {.id = IDC_DONE_TEXT, .kind = ControlKind::StaticLeft,
     .text = "Operation complete. You may exit this utility by clicking the 'EXIT' button.",
     .x = 32, .y = 234, .cx = 220, .cy = 30, .group = true, .hidden = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "Turn the scanner OFF and disconnect the programming cable.",
     .x = 32, .y = 124, .cx = 220, .cy = 20, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "4.",
     .x = 7, .y = 124, .cx = 21, .cy = 20, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft, .text = "Reconnect the programming cable.",
     .x = 32, .y = 184, .cx = 220, .cy = 20, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "6.",
     .x = 7, .y = 184, .cx = 21, .cy = 20, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "Turn the scanner back ON and, while the \"Welcome\" message is displayed, press "
             "0 PGM ENTER (in sequence). This will place the scanner in its DSP update mode.",
     .x = 32, .y = 144, .cx = 220, .cy = 40, .group = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticRight, .text = "5.",
     .x = 7, .y = 144, .cx = 21, .cy = 40, .group = true},
    {.id = IDC_VERSION_TEXT, .kind = ControlKind::StaticCenter,
     .text = "SCANNER VERSION: 00.00     UPDATER VERSION: 00.00",
     .x = 7, .y = 6, .cx = 329, .cy = 24, .group = true},
};

constexpr DialogTemplate MAIN_DIALOG = {
    .id = IDD_MAIN,
    .caption = "VRT-58 DSP Update Utility",
    .x = 0,
    .y = 0,
    .cx = 343,
    .cy = 274,
    .fontName = DIALOG_FONT,
    .fontSize = DIALOG_FONT_SIZE,
    .style = platform::WS_POPUP | platform::WS_VISIBLE | platform::WS_CAPTION |
             platform::WS_SYSMENU | platform::DS_MODALFRAME | platform::DS_SETFONT,
    .exStyle = platform::WS_EX_APPWINDOW,
    .controls = MAIN_CONTROLS,
};

// The progress window: one bar; the upload sets the caption.
constexpr ControlTemplate PROGRESS_CONTROLS[] = {
    {.id = IDC_PROGRESS, .kind = ControlKind::ProgressBar, .text = "Progress1",
     .x = 7, .y = 7, .cx = 167, .cy = 14, .border = true, .smooth = true},
};

constexpr DialogTemplate PROGRESS_DIALOG = {
    .id = IDD_PROGRESS,
    .caption = "",
    .x = 0,
    .y = 0,
    .cx = 181,
    .cy = 28,
    .fontName = DIALOG_FONT,
    .fontSize = DIALOG_FONT_SIZE,
    .style = platform::WS_POPUP | platform::WS_CAPTION | platform::DS_MODALFRAME |
             platform::DS_SETFONT,
    .exStyle = 0,
    .controls = PROGRESS_CONTROLS,
};

// The program's icon: "DSP" in green above "58" in yellow, on a transparent
// background, in 16 colours.
constexpr std::string_view MAINFRAME_32[] = {
    "................................",
    ".AAAAAA......AAAAAA..AAAAAA.....",
    ".AAAAAA2.....AAAAAA2.AAAAAA2....",
    ".AA2222AA..AA.222222.AA2222AA...",
    ".AA2...AA2.AA2.......AA2...AA2..",
    ".AA2...AA2.AA2.......AA2...AA2..",
    ".AA2...AA2.AA2.......AA2...AA2..",
    ".AA2...AA2..2AAAA....AAAAAA.22..",
    ".AA2...AA2...AAAA2...AAAAAA2....",
    ".AA2...AA2....222AA..AA22222....",
    ".AA2...AA2.......AA2.AA2........",
    ".AA2...AA2.......AA2.AA2........",
    ".AA2...AA2.......AA2.AA2........",
    ".AAAAAA.22.AAAAAA.22.AA2........",
    ".AAAAAA2...AAAAAA2...AA2........",
    "..222222....222222....22........",
    "................................",
    ".....BBBBBBBB......BBBB.........",
    ".....BBBBBBBB3.....BBBB3........",
    ".....BB3333333...BB.333BB.......",
    ".....BB3.........BB3...BB3......",
    ".....BBBBBB......BB3...BB3......",
    ".....BBBBBB3.....BB3...BB3......",
    "......33333BB.....3BBBB.33......",
    "...........BB3.....BBBB3........",
    "...........BB3...BB.333BB.......",
    "...........BB3...BB3...BB3......",
    ".....BB....BB3...BB3...BB3......",
    ".....BB3...BB3...BB3...BB3......",
    "......3BBBB.33....3BBBB.33......",
    ".......BBBB3.......BBBB3........",
    "........3333........3333........",
};

constexpr std::string_view MAINFRAME_16[] = {
    "................",
    ".AAA...AAA.AAA..",
    ".A..A.A....A..A.",
    ".A..A..AA..A..A.",
    ".A..A....A.AAA..",
    ".A..A....A.A....",
    ".AAA..AAA..A....",
    "................",
    "..BBBBB...BBB...",
    "..B......B...B..",
    "..B......B...B..",
    "..BBBB....BBB...",
    "......B..B...B..",
    "......B..B...B..",
    "..B...B..B...B..",
    "...BBB....BBB...",
};

constexpr platform::IconImage MAINFRAME_IMAGES[] = {
    {.width = 32, .height = 32, .rows = MAINFRAME_32},
    {.width = 16, .height = 16, .rows = MAINFRAME_16},
};

constexpr platform::IconResource MAINFRAME_ICON = {.id = IDR_MAINFRAME, .images = MAINFRAME_IMAGES};

// The About box. The notice must fit 152 dialog units at 8 points.
constexpr ControlTemplate ABOUT_CONTROLS[] = {
    {.id = IDC_STATIC, .kind = ControlKind::Icon, .x = 11, .y = 17, .cx = 20, .cy = 20,
     .icon = &MAINFRAME_ICON},
    {.id = IDC_ABOUT_TITLE, .kind = ControlKind::StaticLeft, .text = "VRT-58 DSP Update Utility",
     .x = 40, .y = 12, .cx = 152, .cy = 8, .group = true, .noPrefix = true},
    {.id = IDC_STATIC, .kind = ControlKind::StaticLeft,
     .text = "Copyright (C) the updater developers",
     .x = 40, .y = 27, .cx = 152, .cy = 8, .group = true},
    {.id = IDOK, .kind = ControlKind::DefPushButton, .text = "OK",
     .x = 202, .y = 7, .cx = 50, .cy = 14, .tabStop = true, .group = true},
};

constexpr DialogTemplate ABOUT_DIALOG = {
    .id = IDD_ABOUTBOX,
    .caption = "About the VRT-58 DSP Update Utility",
    .x = 0,
    .y = 0,
    .cx = 259,
    .cy = 66,
    .fontName = DIALOG_FONT,
    .fontSize = DIALOG_FONT_SIZE,
    .style = platform::WS_POPUP | platform::WS_CAPTION | platform::WS_SYSMENU |
             platform::DS_MODALFRAME | platform::DS_SETFONT,
    .exStyle = 0,
    .controls = ABOUT_CONTROLS,
};

constexpr const DialogTemplate* DIALOGS[] = {&ABOUT_DIALOG, &MAIN_DIALOG, &PROGRESS_DIALOG};

struct StringEntry {
    int id;
    std::string_view text;
};

constexpr StringEntry STRINGS[] = {
    {IDS_ABOUTBOX, "&About the VRT-58 DSP Update Utility..."},
};

// Alt+F3, F4 and Alt+F5 bring up the hidden message; Alt+F4 stays the
// window system's close key.
constexpr AcceleratorEntry MAIN_ACCELERATORS[] = {
    {platform::FVIRTKEY | platform::FNOINVERT | platform::FALT, platform::VK_F3, ID_SHOW_MESSAGES},
    {platform::FVIRTKEY | platform::FNOINVERT, platform::VK_F4, ID_SHOW_MESSAGES},
    {platform::FVIRTKEY | platform::FNOINVERT | platform::FALT, platform::VK_F5, ID_SHOW_MESSAGES},
};

constexpr VersionInfo VERSION_INFO = {
    .fileVersion = {0, 0, 1, 4},
    .productVersion = {0, 0, 1, 4},
    .companyName = "",
    .fileDescription = "VRT58DSPUpdater",
    .internalName = "VRT58DSPUpdater",
    .legalCopyright = "Copyright (C) the updater developers",
    .originalFilename = "VRT58DSPUpdater.EXE",
    .productName = "VRT-58 DSP Update Utility",
    .language = 0x0409,
    .codePage = 0x04B0,
};

}  // namespace

const platform::DialogTemplate* FindTemplate(int id)
{
    const auto found = std::ranges::find(DIALOGS, id, &DialogTemplate::id);
    return found != std::end(DIALOGS) ? *found : nullptr;
}

std::string_view LoadString(int id)
{
    const auto found = std::ranges::find(STRINGS, id, &StringEntry::id);
    return found != std::end(STRINGS) ? found->text : std::string_view();
}

std::span<const platform::AcceleratorEntry> FindAccelerators(int id)
{
    if (id == IDR_ACCELERATORS) {
        return MAIN_ACCELERATORS;
    }
    return {};
}

const platform::IconResource* FindIcon(int id)
{
    return id == MAINFRAME_ICON.id ? &MAINFRAME_ICON : nullptr;
}

const VersionInfo& VersionResource()
{
    return VERSION_INFO;
}

}  // namespace resources
