#include "Win32DialogTemplate.h"

#include "Win32Text.h"

namespace platform::win32 {

namespace {

// Window and control styles beyond those the templates spell themselves,
// with the window system's values.
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr std::uint32_t CBS_DROPDOWNLIST = 0x3;
constexpr std::uint32_t CBS_SORT = 0x100;
constexpr std::uint32_t SS_LEFT = 0x0;
constexpr std::uint32_t SS_CENTER = 0x1;
constexpr std::uint32_t SS_RIGHT = 0x2;
constexpr std::uint32_t SS_ICON = 0x3;
constexpr std::uint32_t SS_NOPREFIX = 0x80;
constexpr std::uint32_t PBS_SMOOTH = 0x1;

// The predefined classes by atom; the progress bar by name.
constexpr std::uint16_t BUTTON_ATOM = 0x0080;
constexpr std::uint16_t STATIC_ATOM = 0x0082;
constexpr std::uint16_t COMBOBOX_ATOM = 0x0085;
constexpr const wchar_t* PROGRESS_CLASS_NAME = L"msctls_progress32";

class Words {
public:
    void Word(std::uint16_t value) { m_words.push_back(value); }
    void Short(int value) { m_words.push_back(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
    void Dword(std::uint32_t value)
    {
        Word(static_cast<std::uint16_t>(value & 0xFFFF));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void String(const std::wstring& text)
    {
        for (const wchar_t c : text) {
            Word(static_cast<std::uint16_t>(c));
        }
        Word(0);
    }
    void AlignDword()
    {
        if (m_words.size() % 2 != 0) {
            Word(0);
        }
    }
    std::vector<std::uint16_t> Take() { return std::move(m_words); }

private:
    std::vector<std::uint16_t> m_words;
};

}  // namespace

std::uint32_t ControlStyle(const ControlTemplate& control)
{
    std::uint32_t style = WS_CHILD;
    if (!control.hidden) {
        style |= WS_VISIBLE;
    }
    if (control.disabled) {
        style |= WS_DISABLED;
    }
    if (control.tabStop) {
        style |= WS_TABSTOP;
    }
    if (control.group) {
        style |= WS_GROUP;
    }
    if (control.border) {
        style |= WS_BORDER;
    }
    if (control.vScroll) {
        style |= WS_VSCROLL;
    }
    switch (control.kind) {
    case ControlKind::PushButton:
        style |= BS_PUSHBUTTON;
        break;
    case ControlKind::DefPushButton:
        style |= BS_DEFPUSHBUTTON;
        break;
    case ControlKind::DropDownList:
        style |= CBS_DROPDOWNLIST | (control.sorted ? CBS_SORT : 0);
        break;
    case ControlKind::StaticLeft:
        style |= SS_LEFT;
        break;
    case ControlKind::StaticRight:
        style |= SS_RIGHT;
        break;
    case ControlKind::StaticCenter:
        style |= SS_CENTER;
        break;
    case ControlKind::Icon:
        style |= SS_ICON;
        break;
    case ControlKind::ProgressBar:
        style |= control.smooth ? PBS_SMOOTH : 0;
        break;
    }
    if (control.noPrefix && (control.kind == ControlKind::StaticLeft ||
                             control.kind == ControlKind::StaticRight ||
                             control.kind == ControlKind::StaticCenter)) {
        style |= SS_NOPREFIX;
    }
    return style;
}

std::vector<std::uint16_t> DialogTemplateWords(const DialogTemplate& dialogTemplate, bool showLater)
{
    Words out;
    std::uint32_t style = dialogTemplate.style;
    if (showLater) {
        style &= ~WS_VISIBLE;
    }
    const bool font = !dialogTemplate.fontName.empty();
    if (font) {
        style |= DS_SETFONT;
    } else {
        style &= ~DS_SETFONT;
    }

    // DLGTEMPLATE
    out.Dword(style);
    out.Dword(dialogTemplate.exStyle);
    out.Word(static_cast<std::uint16_t>(dialogTemplate.controls.size()));
    out.Short(dialogTemplate.x);
    out.Short(dialogTemplate.y);
    out.Short(dialogTemplate.cx);
    out.Short(dialogTemplate.cy);
    out.Word(0);  // no menu
    out.Word(0);  // the standard dialog class
    out.String(Wide(dialogTemplate.caption));
    if (font) {
        out.Word(static_cast<std::uint16_t>(dialogTemplate.fontSize));
        out.String(Wide(dialogTemplate.fontName));
    }

    for (const ControlTemplate& control : dialogTemplate.controls) {
        // DLGITEMTEMPLATE
        out.AlignDword();
        out.Dword(ControlStyle(control));
        out.Dword(0);
        out.Short(control.x);
        out.Short(control.y);
        out.Short(control.cx);
        out.Short(control.cy);
        out.Word(static_cast<std::uint16_t>(control.id));  // -1: 0xFFFF, no identifier
        switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
            out.Word(0xFFFF);
            out.Word(BUTTON_ATOM);
            break;
        case ControlKind::DropDownList:
            out.Word(0xFFFF);
            out.Word(COMBOBOX_ATOM);
            break;
        case ControlKind::StaticLeft:
        case ControlKind::StaticRight:
        case ControlKind::StaticCenter:
        case ControlKind::Icon:
            out.Word(0xFFFF);
            out.Word(STATIC_ATOM);
            break;
        case ControlKind::ProgressBar:
            out.String(PROGRESS_CLASS_NAME);
            break;
        }
        // An icon control gets its picture from ControlTemplate::icon once
        // it exists, not from a resource name.
        out.String(control.kind == ControlKind::Icon ? std::wstring() : Wide(control.text));
        out.Word(0);  // no creation data
    }
    return out.Take();
}

}  // namespace platform::win32
