#include "Win32Dialog.h"

#include "Win32Control.h"
#include "Win32DialogTemplate.h"
#include "Win32Icons.h"
#include "Win32Text.h"
#include "Win32WindowSystem.h"

#include "Win32Api.h"

#include <algorithm>

namespace platform::win32 {

namespace {

// A modal dialog shows itself once its queue is idle, so a close posted
// while it initialised ends it unseen; a queue that never runs dry shows
// it after this many messages all the same.
constexpr int SHOW_AFTER_MESSAGES = 50;

// Bounds of the loops that empty a queue while the thread is busy: a
// window that never validates itself must not keep the caller here.
constexpr int MAX_PAINTS = 64;
constexpr int MAX_DISCARDED = 4096;

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Win32Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        dialog = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    LRESULT result = 0;
    if (!dialog->Message(hwnd, message, wParam, lParam, result)) {
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

// Removes every keyboard and mouse message (the non-client ones too: a
// click on the close box) and every posted system command waiting for the
// program's windows, without acting on any.
void DiscardInput()
{
    const UINT ranges[][2] = {
        {WM_KEYFIRST, WM_KEYLAST},
        {WM_MOUSEFIRST, WM_MOUSELAST},
        {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
        {WM_SYSCOMMAND, WM_SYSCOMMAND},
    };
    MSG msg;
    for (const auto& range : ranges) {
        for (int i = 0; i < MAX_DISCARDED && PeekMessageW(&msg, nullptr, range[0], range[1], PM_REMOVE | PM_NOYIELD);
             ++i) {
        }
    }
}

Rect RectOf(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

Win32Dialog::Win32Dialog(Win32WindowSystem& system, const DialogTemplate& dialogTemplate, Win32Dialog* owner,
                         DialogHandler* handler)
    : m_system(system), m_template(dialogTemplate), m_owner(owner), m_handler(handler)
{
}

Win32Dialog::~Win32Dialog()
{
    if (m_paintedWhileBusy) {
        // The caller was busy until now: what the user did meanwhile is
        // not acted on later either.
        DiscardInput();
    }
    EnableOwner();
    m_controls.clear();
    if (m_hwnd != nullptr) {
        SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
        DestroyWindow(m_hwnd);
    }
    if (m_accelerators != nullptr) {
        DestroyAcceleratorTable(m_accelerators);
    }
    if (m_bigIcon != nullptr) {
        DestroyIcon(m_bigIcon);
    }
    if (m_smallIcon != nullptr) {
        DestroyIcon(m_smallIcon);
    }
}

bool Win32Dialog::Create(bool showLater)
{
    const std::vector<std::uint16_t> words = DialogTemplateWords(m_template, showLater);
    HWND owner = m_owner != nullptr ? m_owner->Hwnd() : nullptr;
    // The window exists from WM_INITDIALOG on (Initialise); the handler
    // runs inside this call.
    const HWND made = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
                                                 &DialogProc, reinterpret_cast<LPARAM>(this));
    if (made == nullptr) {
        m_hwnd = nullptr;
        m_controls.clear();
        return false;
    }
    m_hwnd = made;
    return true;
}

void Win32Dialog::Initialise(HWND hwnd)
{
    m_hwnd = hwnd;
    // The dialog manager made the controls in template order, each below
    // the one before: the same order among the children.
    std::size_t index = 0;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr && index < m_template.controls.size();
         child = GetWindow(child, GW_HWNDNEXT)) {
        m_controls.push_back(std::make_unique<Win32Control>(*this, m_template.controls[index], child));
        ++index;
    }
    if (m_handler != nullptr && m_template.x == 0 && m_template.y == 0) {
        Centre();
    }
}

void Win32Dialog::Centre()
{
    // On the owner, or on the work area of the screen it is on.
    RECT own;
    ::GetWindowRect(m_hwnd, &own);
    RECT around;
    HWND owner = m_owner != nullptr ? m_owner->Hwnd() : nullptr;
    if (owner != nullptr) {
        ::GetWindowRect(owner, &around);
    } else {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
        around = monitor.rcWork;
    }
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int x = (around.left + around.right) / 2 - width / 2;
    const int y = (around.top + around.bottom) / 2 - height / 2;
    SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Dialog::RunModal()
{
    if (m_handler == nullptr) {
        return -1;
    }
    // The owner takes no input while this dialog runs.
    HWND owner = m_owner != nullptr ? m_owner->Hwnd() : nullptr;
    if (owner != nullptr && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        m_ownerDisabled = true;
    }
    if (!Create(true)) {
        EnableOwner();
        return -1;
    }

    bool shown = false;
    int messages = 0;
    MSG msg;
    while (!m_ended) {
        if (!shown && (messages >= SHOW_AFTER_MESSAGES || !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))) {
            if (!m_ended) {
                FirstShow();
            }
            shown = true;
            continue;
        }
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is asked to end: the loop that owns the request
            // sees it again once this dialog is gone.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        ++messages;
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // The owner comes back before this window goes, so it is the one
    // activated next.
    EnableOwner();
    if (m_hwnd != nullptr) {
        SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (owner != nullptr && IsWindow(owner)) {
            SetActiveWindow(owner);
        }
    }
    return m_result;
}

bool Win32Dialog::PreTranslate(void* message)
{
    auto* msg = static_cast<MSG*>(message);
    // The accelerators come before any control sees a key, whichever has
    // the focus.
    if (m_accelerators != nullptr && (msg->hwnd == m_hwnd || IsChild(m_hwnd, msg->hwnd)) &&
        TranslateAcceleratorW(m_hwnd, m_accelerators, msg) != 0) {
        return true;
    }
    return IsDialogMessageW(m_hwnd, msg) != 0;
}

void Win32Dialog::FirstShow()
{
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    UpdateWindow(m_hwnd);
    // The dialog manager gave the first tab stop the focus while the
    // dialog was hidden; make sure it has it now.
    const HWND focus = GetFocus();
    if (focus == nullptr || (focus != m_hwnd && !IsChild(m_hwnd, focus))) {
        if (const HWND first = GetNextDlgTabItem(m_hwnd, nullptr, FALSE)) {
            SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
        }
    }
}

bool Win32Dialog::CreateModeless()
{
    return Create(false);
}

void Win32Dialog::EnableOwner()
{
    if (m_ownerDisabled) {
        m_ownerDisabled = false;
        if (m_owner != nullptr && m_owner->Hwnd() != nullptr) {
            EnableWindow(m_owner->Hwnd(), TRUE);
        }
    }
}

bool Win32Dialog::Message(HWND hwnd, unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                          std::intptr_t& result)
{
    switch (message) {
    case WM_INITDIALOG:
        Initialise(hwnd);
        if (m_handler != nullptr) {
            ++m_handlerDepth;
            m_handler->OnInitDialog(*this);
            HandlerReturned();
        }
        result = TRUE;  // the dialog manager focuses the first tab stop
        return true;

    case WM_COMMAND: {
        if (m_handler == nullptr) {
            result = 0;
            return true;  // a modeless dialog takes no commands
        }
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        // A button's click (or the dialog manager's Enter and Escape), or
        // an accelerator (code 1 and no control); not the controls' other
        // notifications.
        const bool fromControl = lParam != 0;
        if ((fromControl && code == BN_CLICKED) || (!fromControl && (code == 0 || code == 1))) {
            Command(id);
        }
        result = 0;
        return true;
    }

    case WM_SYSCOMMAND:
        if (m_handler == nullptr) {
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                result = 0;
                return true;
            }
            return false;
        }
        {
            const auto command = static_cast<std::uint32_t>(wParam);
            ++m_handlerDepth;
            const bool handled = m_handler->OnSysCommand(*this, command);
            HandlerReturned();
            if (handled) {
                result = 0;
                return true;
            }
            if ((command & 0xFFF0) == SC_CLOSE) {
                Command(IDCANCEL);
                result = 0;
                return true;
            }
            return false;  // move, the menu, ...: the window system's own handling
        }

    case WM_CLOSE:
        if (m_handler != nullptr) {
            CloseRequested();
        }
        result = 0;
        return true;

    case WM_SETCURSOR:
        if (m_system.Waiting()) {
            Win32WindowSystem::ShowWaitCursor();
            result = TRUE;
            return true;
        }
        return false;

    default:
        return false;
    }
}

void Win32Dialog::Command(int id)
{
    if (m_handler == nullptr || m_ended) {
        return;
    }
    ++m_handlerDepth;
    const bool handled = m_handler->OnCommand(*this, id);
    HandlerReturned();
    if (!handled && (id == IDOK || id == IDCANCEL)) {
        EndDialog(id);
    }
}

void Win32Dialog::CloseRequested()
{
    // A handler of this dialog still runs (a message box's loop, the About
    // box): closing under it would pull the dialog away from the code
    // using it. The close waits until the handler returns.
    if (m_handlerDepth > 0) {
        m_closeDeferred = true;
        return;
    }
    if (!m_ended) {
        Command(IDCANCEL);
    }
}

void Win32Dialog::HandlerReturned()
{
    --m_handlerDepth;
    if (m_handlerDepth == 0 && m_closeDeferred && m_hwnd != nullptr) {
        m_closeDeferred = false;
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    }
}

std::string Win32Dialog::GetText() const
{
    if (m_hwnd == nullptr) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(m_hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

void Win32Dialog::SetText(std::string_view text)
{
    if (m_hwnd != nullptr) {
        SetWindowTextW(m_hwnd, Wide(text).c_str());
    }
}

void Win32Dialog::Enable(bool enable)
{
    if (m_hwnd != nullptr) {
        EnableWindow(m_hwnd, enable ? TRUE : FALSE);
    }
}

bool Win32Dialog::IsEnabled() const
{
    return m_hwnd != nullptr && IsWindowEnabled(m_hwnd) != 0;
}

void Win32Dialog::Show(bool show)
{
    if (m_hwnd != nullptr) {
        ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE);
        if (show) {
            UpdateWindow(m_hwnd);
        }
    }
}

bool Win32Dialog::IsVisible() const
{
    return m_hwnd != nullptr && (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

Rect Win32Dialog::GetWindowRect() const
{
    RECT rect = {};
    if (m_hwnd != nullptr) {
        ::GetWindowRect(m_hwnd, &rect);
    }
    return RectOf(rect);
}

void Win32Dialog::Move(int left, int top)
{
    if (m_hwnd != nullptr) {
        SetWindowPos(m_hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Window* Win32Dialog::GetDlgItem(int id)
{
    const auto found =
        std::ranges::find_if(m_controls, [id](const auto& control) { return control->Id() == id; });
    return found != m_controls.end() ? found->get() : nullptr;
}

void Win32Dialog::EndDialog(int result)
{
    if (m_handler == nullptr) {
        return;
    }
    m_result = result;
    m_ended = true;
    if (m_hwnd != nullptr) {
        PostMessageW(m_hwnd, WM_NULL, 0, 0);  // wakes the loop if it waits
    }
}

void Win32Dialog::PostClose()
{
    if (m_hwnd != nullptr) {
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    }
}

void Win32Dialog::SetAccelerators(std::span<const AcceleratorEntry> table)
{
    if (m_accelerators != nullptr) {
        DestroyAcceleratorTable(m_accelerators);
        m_accelerators = nullptr;
    }
    if (table.empty()) {
        return;
    }
    std::vector<ACCEL> entries;
    for (const AcceleratorEntry& entry : table) {
        entries.push_back({entry.flags, entry.key, entry.command});
    }
    m_accelerators = CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

bool Win32Dialog::HasSystemMenu() const
{
    return m_hwnd != nullptr && (GetWindowLongW(m_hwnd, GWL_STYLE) & static_cast<LONG>(WS_SYSMENU)) != 0;
}

void Win32Dialog::AppendSystemMenuSeparator()
{
    if (HMENU menu = m_hwnd != nullptr ? GetSystemMenu(m_hwnd, FALSE) : nullptr) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
}

void Win32Dialog::AppendSystemMenuItem(std::uint32_t command, std::string_view text)
{
    if (HMENU menu = m_hwnd != nullptr ? GetSystemMenu(m_hwnd, FALSE) : nullptr) {
        AppendMenuW(menu, MF_STRING, command, Wide(text).c_str());
    }
}

void Win32Dialog::SetIcon(const IconResource* icon)
{
    if (m_hwnd == nullptr) {
        return;
    }
    HICON big = icon != nullptr ? CreateIconOf(*icon, GetSystemMetrics(SM_CXICON)) : nullptr;
    HICON small = icon != nullptr ? CreateIconOf(*icon, GetSystemMetrics(SM_CXSMICON)) : nullptr;
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    // The window no longer shows the old pictures.
    if (m_bigIcon != nullptr) {
        DestroyIcon(m_bigIcon);
    }
    if (m_smallIcon != nullptr) {
        DestroyIcon(m_smallIcon);
    }
    m_bigIcon = big;
    m_smallIcon = small;
}

void Win32Dialog::PaintWhileBusy(HWND bar)
{
    m_paintedWhileBusy = true;
    // The bar now (the new position invalidated it), then whatever else
    // needs painting. Looking at the queue also answers the messages
    // other programs and the system send, so the windows are never taken
    // for hung during a long upload; the user's input is thrown away,
    // never handled later. Each look costs a trip to the window server, so
    // only what is waiting is looked for.
    UpdateWindow(bar);
    const UINT waiting = HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_TIMER));
    if ((waiting & (QS_INPUT | QS_POSTMESSAGE)) != 0) {
        DiscardInput();
    }
    MSG msg;
    for (int i = 0; i < MAX_PAINTS && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_NOYIELD); ++i) {
        DispatchMessageW(&msg);
    }
    // The bar's own timers move it to the new position where the visual
    // style animates it.
    if ((waiting & QS_TIMER) != 0) {
        for (int i = 0; i < MAX_PAINTS && PeekMessageW(&msg, bar, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
             ++i) {
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace platform::win32
