#include "Win32Control.h"

#include "Win32Dialog.h"
#include "Win32Icons.h"
#include "Win32Text.h"

#include "Win32Api.h"

#include <algorithm>

namespace platform::win32 {

Win32Control::Win32Control(Win32Dialog& dialog, const ControlTemplate& control, HWND hwnd)
    : m_dialog(dialog), m_id(control.id), m_kind(control.kind), m_hwnd(hwnd)
{
    if (m_kind == ControlKind::Icon && control.icon != nullptr) {
        // Like an icon control naming a resource: the picture at the
        // system's icon size, whatever the template's size.
        m_icon = CreateIconOf(*control.icon, GetSystemMetrics(SM_CXICON));
        if (m_icon != nullptr) {
            SendMessageW(m_hwnd, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
        }
    }
}

Win32Control::~Win32Control()
{
    if (m_icon != nullptr) {
        if (IsWindow(m_hwnd)) {
            SendMessageW(m_hwnd, STM_SETICON, 0, 0);
        }
        DestroyIcon(m_icon);
    }
}

std::string Win32Control::GetText() const
{
    // A drop-down list answers with its selected entry.
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(m_hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

void Win32Control::SetText(std::string_view text)
{
    if (Is(ControlKind::DropDownList) || Is(ControlKind::Icon) || Is(ControlKind::ProgressBar)) {
        return;  // their text is not theirs to show
    }
    SetWindowTextW(m_hwnd, Wide(text).c_str());
}

void Win32Control::Enable(bool enable)
{
    const HWND dialog = GetParent(m_hwnd);
    if (!enable && GetFocus() == m_hwnd && dialog != nullptr) {
        // A disabled control cannot keep the keyboard: it moves on to the
        // next tab stop, as if the user pressed Tab.
        SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    }
    EnableWindow(m_hwnd, enable ? TRUE : FALSE);
}

bool Win32Control::IsEnabled() const
{
    return IsWindowEnabled(m_hwnd) != 0;
}

void Win32Control::Show(bool show)
{
    ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE);
}

bool Win32Control::IsVisible() const
{
    return (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

Rect Win32Control::GetWindowRect() const
{
    RECT rect = {};
    ::GetWindowRect(m_hwnd, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void Win32Control::Move(int left, int top)
{
    POINT at = {left, top};
    ScreenToClient(GetParent(m_hwnd), &at);
    SetWindowPos(m_hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Control::AddString(std::string_view entry)
{
    if (!Is(ControlKind::DropDownList)) {
        return CB_ERR;
    }
    const std::wstring text = Wide(entry);
    const LRESULT index = SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return index < 0 ? CB_ERR : static_cast<int>(index);
}

int Win32Control::SetCurSel(int index)
{
    if (!Is(ControlKind::DropDownList)) {
        return CB_ERR;
    }
    // Outside the entries the list clears its selection and says CB_ERR.
    const LRESULT selected = SendMessageW(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return selected < 0 ? CB_ERR : static_cast<int>(selected);
}

int Win32Control::GetCurSel() const
{
    if (!Is(ControlKind::DropDownList)) {
        return CB_ERR;
    }
    const LRESULT selected = SendMessageW(m_hwnd, CB_GETCURSEL, 0, 0);
    return selected < 0 ? CB_ERR : static_cast<int>(selected);
}

int Win32Control::GetCount() const
{
    if (!Is(ControlKind::DropDownList)) {
        return CB_ERR;
    }
    const LRESULT count = SendMessageW(m_hwnd, CB_GETCOUNT, 0, 0);
    return count < 0 ? CB_ERR : static_cast<int>(count);
}

void Win32Control::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    if (Is(ControlKind::ProgressBar)) {
        SendMessageW(m_hwnd, PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    }
}

void Win32Control::SetPos(int position)
{
    if (!Is(ControlKind::ProgressBar)) {
        return;
    }
    SendMessageW(m_hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    m_dialog.PaintWhileBusy(m_hwnd);
}

}  // namespace platform::win32
