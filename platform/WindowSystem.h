#pragma once

#include "ResourceTypes.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// What the program's dialogs need of a window system: dialogs built from the
// templates in resources/, their controls reached by identifier, message
// boxes, the wait cursor and a modeless progress window. Everything runs on
// the one user-interface thread. Backends: platform/wx (the real one) and
// platform/testwin (in memory, for tests).

namespace platform {

// Message box styles: one button set, one icon and one default button,
// combined with `|`. The values are the original window system's.
inline constexpr std::uint32_t MB_OK = 0x000;
inline constexpr std::uint32_t MB_YESNO = 0x004;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x020;
inline constexpr std::uint32_t MB_ICONWARNING = 0x030;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x040;
inline constexpr std::uint32_t MB_DEFBUTTON1 = 0x000;
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x100;
inline constexpr std::uint32_t MB_TYPEMASK = 0x00F;  // the button set
inline constexpr std::uint32_t MB_ICONMASK = 0x0F0;
inline constexpr std::uint32_t MB_DEFMASK = 0xF00;

// Buttons and commands: what a message box returns, what a dialog ends with.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// What a drop-down list operation returns when it cannot do what was asked.
inline constexpr int CB_ERR = -1;

// The system command of the close box and the system menu's Close item.
inline constexpr std::uint32_t SC_CLOSE = 0xF060;

// A rectangle in pixels; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// A dialog or one of its controls. Operations meant for one kind of control
// (drop-down list, progress bar) have no effect on other windows, and those
// that return a value return CB_ERR there.
class Window {
public:
    virtual ~Window() = default;

    // The dialog's caption or the control's text. A drop-down list's text is
    // its selected entry, or "" without a selection.
    virtual std::string GetText() const = 0;

    // Replaces the dialog's caption or the control's text.
    virtual void SetText(std::string_view text) = 0;

    // Enables or disables the window. A disabled window takes no input: a
    // disabled button cannot be clicked, a disabled list cannot be changed.
    virtual void Enable(bool enable) = 0;

    // Whether the window takes input.
    virtual bool IsEnabled() const = 0;

    // Shows or hides the window.
    virtual void Show(bool show) = 0;

    // Whether the window itself is shown (a control's own state, whatever
    // its dialog's).
    virtual bool IsVisible() const = 0;

    // The window's outer rectangle, frame and caption included, in screen
    // pixels.
    virtual Rect GetWindowRect() const = 0;

    // Moves the window's top-left corner to (left, top) in screen pixels,
    // keeping its size. Nothing keeps the window on the screen.
    virtual void Move(int left, int top) = 0;

    // Drop-down list: appends `entry` (or inserts it in text order when the
    // list is sorted) and returns its zero-based index.
    virtual int AddString(std::string_view entry) = 0;

    // Drop-down list: selects entry `index` and returns it. An index outside
    // the entries clears the selection and returns CB_ERR.
    virtual int SetCurSel(int index) = 0;

    // Drop-down list: the zero-based index of the selection, or CB_ERR.
    virtual int GetCurSel() const = 0;

    // Drop-down list: the number of entries.
    virtual int GetCount() const = 0;

    // Progress bar: the range of positions, both bounds 16-bit values.
    virtual void SetRange(std::uint16_t lower, std::uint16_t upper) = 0;

    // Progress bar: shows `position` (clamped to the range). The new
    // position is on the screen when the call returns, even while the caller
    // keeps the thread busy and does not return to the message loop; input
    // for the program's windows that arrives meanwhile is discarded.
    virtual void SetPos(int position) = 0;
};

// A dialog built from a template. Its text is the caption.
class Dialog : public Window {
public:
    // The control with identifier `id`, or null when there is none. The
    // control lives as long as the dialog.
    virtual Window* GetDlgItem(int id) = 0;

    // Ends a modal run: once the handler that calls it returns, the dialog
    // closes and RunModal returns `result`. No effect on a modeless dialog.
    virtual void EndDialog(int result) = 0;

    // Queues a close request. The dialog handles it as soon as it processes
    // messages again, like a click on its close box: the command IDCANCEL.
    virtual void PostClose() = 0;

    // Installs an accelerator table (the dialog keeps a copy). Its keys are
    // matched before any control sees them, with exactly the modifiers of an
    // entry (see TranslateAccelerator); a match sends the entry's command to
    // the handler's OnCommand. An empty table removes the accelerators.
    virtual void SetAccelerators(std::span<const AcceleratorEntry> table) = 0;

    // Whether the dialog has a system menu (its template has WS_SYSMENU).
    // Where the platform has no title-bar menu, a context menu of the dialog
    // plays its part.
    virtual bool HasSystemMenu() const = 0;

    // Appends a separator to the system menu.
    virtual void AppendSystemMenuSeparator() = 0;

    // Appends an item to the system menu; choosing it calls the handler's
    // OnSysCommand with `command`. An '&' in `text` marks the mnemonic.
    virtual void AppendSystemMenuItem(std::uint32_t command, std::string_view text) = 0;

    // Makes `icon` the dialog's large and small icon; null removes it.
    virtual void SetIcon(const IconResource* icon) = 0;
};

// What a modal dialog reports to the code behind it. Each call gets the
// dialog it concerns.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;

    // The dialog and its controls exist as the template describes them; the
    // dialog is not yet visible. After it returns, the dialog is shown and
    // the focus goes to the first control with a tab stop.
    virtual void OnInitDialog(Dialog& dialog) { (void)dialog; }

    // A command: a push button was clicked (its identifier; Enter clicks the
    // default button), an accelerator key was pressed (the entry's command),
    // or the dialog is being closed (IDCANCEL: Escape, the close box,
    // PostClose). Returns true when handled; otherwise IDOK and IDCANCEL end
    // the dialog with that result and other commands are ignored.
    virtual bool OnCommand(Dialog& dialog, int id)
    {
        (void)dialog;
        (void)id;
        return false;
    }

    // A system command: an item appended to the system menu, or the window
    // system's own (SC_CLOSE). Returns true when handled; otherwise SC_CLOSE
    // is handled as IDCANCEL and other commands as the window system does.
    virtual bool OnSysCommand(Dialog& dialog, std::uint32_t command)
    {
        (void)dialog;
        (void)command;
        return false;
    }
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Builds a dialog from `dialogTemplate`, owned by `owner` (null: none),
    // calls handler.OnInitDialog, shows the dialog and dispatches its events
    // to `handler` until EndDialog is called. The owner takes no input
    // meanwhile. A template position of 0, 0 centres the dialog on its owner
    // (on the screen without one). Returns the result given to EndDialog, or
    // -1 when the dialog cannot be created.
    virtual int RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                         DialogHandler& handler) = 0;

    // Builds a modeless dialog from `dialogTemplate`, owned by `owner`, and
    // returns at once. It is visible only when the template has WS_VISIBLE,
    // takes no commands, and is destroyed with the returned object. Null
    // when it cannot be created.
    virtual std::unique_ptr<Dialog> CreateModeless(const DialogTemplate& dialogTemplate,
                                                   Dialog* owner) = 0;

    // Shows `text` in a modal message box owned by `owner` (null: none),
    // titled `caption`, with the buttons, icon and default button that
    // `style` names (MB_*). A Yes/No box is answered only with its buttons;
    // an OK box also closes with Escape or its close box, answering IDOK.
    // Returns the button pressed (IDOK, IDYES or IDNO), or 0 when the box
    // cannot be shown.
    virtual int ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                               std::uint32_t style) = 0;

    // Shows the wait cursor over the program's windows. Calls nest: the
    // cursor is back to normal when every Begin has had its End.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

// The command that a key sends through `table`, or 0 when no entry matches.
// Only virtual-key entries (FVIRTKEY) take part; an entry matches `key`
// when `modifiers`, the FSHIFT, FCONTROL and FALT bits of the keys held,
// are exactly the entry's. So an entry for Alt+F3 does not match F3 or
// Ctrl+Alt+F3.
std::uint16_t TranslateAccelerator(std::span<const AcceleratorEntry> table, std::uint16_t key,
                                   std::uint8_t modifiers);

// The window system the program shows its windows with. There is none until
// the executable (or a test) installs one with a ScopedWindowSystem; asking
// before is a programming error that ends the program with a message.
WindowSystem& CurrentWindowSystem();

// Makes `windowSystem` the current one for the object's lifetime and puts
// the previous one back afterwards.
class ScopedWindowSystem {
public:
    explicit ScopedWindowSystem(WindowSystem& windowSystem);
    ~ScopedWindowSystem();
    ScopedWindowSystem(const ScopedWindowSystem&) = delete;
    ScopedWindowSystem& operator=(const ScopedWindowSystem&) = delete;

private:
    WindowSystem* m_previous;
};

}  // namespace platform
