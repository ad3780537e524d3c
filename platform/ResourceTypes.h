#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The shapes of the program's resources: dialog templates, accelerator
// tables and icons. resources/ holds the program's own instances; a window
// system builds its windows from them. Plain constant data, no behaviour.

namespace platform {

// Window styles of a dialog template, with the original window system's
// values so that a template reads as it was designed.
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t DS_SETFONT = 0x00000040;
inline constexpr std::uint32_t DS_MODALFRAME = 0x00000080;

// Extended window style: the window has its own taskbar button.
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;

// What a control of a template is.
enum class ControlKind {
    PushButton,
    DefPushButton,  // the push button that Enter activates
    DropDownList,   // combo box whose field only shows the selected entry
    StaticLeft,     // text label, left-aligned
    StaticRight,
    StaticCenter,
    Icon,           // shows the icon ControlTemplate::icon
    ProgressBar,
};

// One picture of an icon. Each row is a string of `width` characters, one
// per pixel: '0'-'9' and 'A'-'F' pick a colour of ICON_PALETTE, '.' is
// transparent.
struct IconImage {
    int width = 0;
    int height = 0;
    std::span<const std::string_view> rows = {};
};

// An icon resource: the same picture at several sizes, largest first.
struct IconResource {
    int id = 0;
    std::span<const IconImage> images = {};
};

// One control of a dialog template. Positions and sizes are dialog units,
// relative to the dialog's client area. A control is enabled and visible
// unless `disabled` or `hidden` says otherwise.
struct ControlTemplate {
    int id = -1;  // -1: the control has no identifier
    ControlKind kind = ControlKind::StaticLeft;
    std::string_view text = {};
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    const IconResource* icon = nullptr;  // Icon only; null shows nothing
    bool tabStop = false;
    bool group = false;     // starts a group for keyboard navigation
    bool disabled = false;
    bool hidden = false;
    bool vScroll = false;   // DropDownList: the dropped list scrolls
    bool sorted = false;    // DropDownList: entries are kept in text order
    bool border = false;
    bool smooth = false;    // ProgressBar: a continuous bar, not blocks
    bool noPrefix = false;  // static: '&' is shown, not a mnemonic mark
};

// A dialog as designed: its frame and its controls in template order, which
// is also the tab order. Positions and sizes are dialog units of `fontName`
// at `fontSize` points; a position of 0, 0 means centred on the owner (or on
// the screen without one).
struct DialogTemplate {
    int id = 0;
    std::string_view caption = {};
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::string_view fontName = {};
    int fontSize = 0;
    std::uint32_t style = 0;    // WS_* and DS_* values above
    std::uint32_t exStyle = 0;  // WS_EX_* values above
    std::span<const ControlTemplate> controls = {};
};

// Flags of an accelerator entry, with the original values.
inline constexpr std::uint8_t FVIRTKEY = 0x01;   // `key` is a virtual-key code
inline constexpr std::uint8_t FNOINVERT = 0x02;  // no menu is flashed
inline constexpr std::uint8_t FSHIFT = 0x04;
inline constexpr std::uint8_t FCONTROL = 0x08;
inline constexpr std::uint8_t FALT = 0x10;

// Virtual-key codes the program and its backends name.
inline constexpr std::uint16_t VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_ESCAPE = 0x1B;
inline constexpr std::uint16_t VK_F1 = 0x70;
inline constexpr std::uint16_t VK_F2 = 0x71;
inline constexpr std::uint16_t VK_F3 = 0x72;
inline constexpr std::uint16_t VK_F4 = 0x73;
inline constexpr std::uint16_t VK_F5 = 0x74;

// One key of an accelerator table and the command it sends.
struct AcceleratorEntry {
    std::uint8_t flags = 0;  // FVIRTKEY plus the modifiers FSHIFT, FCONTROL, FALT
    std::uint16_t key = 0;
    std::uint16_t command = 0;
};

// The 16 colours of a 4-bit icon, as 0xRRGGBB.
inline constexpr std::array<std::uint32_t, 16> ICON_PALETTE = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

}  // namespace platform
