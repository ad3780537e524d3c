#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <memory>
#include <vector>

struct HWND__;
struct HACCEL__;
struct HICON__;

namespace platform::win32 {

class Win32Control;
class Win32WindowSystem;

// A dialog built by the dialog manager from a template in memory. A modal
// one (with a handler) runs its own loop, as the original framework did:
// its owner disabled, each message offered to the accelerators, then to
// the dialog manager's keyboard handling, then dispatched. A modeless one
// takes no commands.
class Win32Dialog final : public Dialog {
public:
    // Makes nothing yet: RunModal or CreateModeless does.
    Win32Dialog(Win32WindowSystem& system, const DialogTemplate& dialogTemplate, Win32Dialog* owner,
                DialogHandler* handler);
    ~Win32Dialog() override;
    Win32Dialog(const Win32Dialog&) = delete;
    Win32Dialog& operator=(const Win32Dialog&) = delete;

    // Creates, initialises (the handler's OnInitDialog), shows and runs the
    // dialog until it ends; its result, or -1 when it cannot be created.
    int RunModal();

    // Creates the modeless window, visible only when the template says so.
    bool CreateModeless();

    HWND__* Hwnd() const { return m_hwnd; }

    std::string GetText() const override;
    void SetText(std::string_view text) override;
    void Enable(bool enable) override;
    bool IsEnabled() const override;
    void Show(bool show) override;
    bool IsVisible() const override;
    Rect GetWindowRect() const override;
    void Move(int left, int top) override;
    int AddString(std::string_view) override { return CB_ERR; }
    int SetCurSel(int) override { return CB_ERR; }
    int GetCurSel() const override { return CB_ERR; }
    int GetCount() const override { return CB_ERR; }
    void SetRange(std::uint16_t, std::uint16_t) override {}
    void SetPos(int) override {}

    Window* GetDlgItem(int id) override;
    void EndDialog(int result) override;
    void PostClose() override;
    void SetAccelerators(std::span<const AcceleratorEntry> table) override;
    bool HasSystemMenu() const override;
    void AppendSystemMenuSeparator() override;
    void AppendSystemMenuItem(std::uint32_t command, std::string_view text) override;
    void SetIcon(const IconResource* icon) override;

    // The dialog procedure's work for one message: true when handled, with
    // `result` as the message's answer; false leaves it to the dialog
    // manager's default handling.
    bool Message(HWND__* hwnd, unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::intptr_t& result);

    // A bar of this dialog has a new position while the caller keeps the
    // thread busy: puts it on the screen, lets the windows repaint and
    // answer the system, and throws the user's input away.
    void PaintWhileBusy(HWND__* bar);

private:
    bool Create(bool showLater);
    void Initialise(HWND__* hwnd);
    void Centre();
    void FirstShow();
    bool PreTranslate(void* msg);
    void Command(int id);
    void SystemCommand(std::uint32_t command);
    void CloseRequested();
    void HandlerReturned();
    void EnableOwner();

    Win32WindowSystem& m_system;
    const DialogTemplate& m_template;
    Win32Dialog* m_owner;
    DialogHandler* m_handler;
    HWND__* m_hwnd = nullptr;
    std::vector<std::unique_ptr<Win32Control>> m_controls;
    HACCEL__* m_accelerators = nullptr;
    HICON__* m_bigIcon = nullptr;
    HICON__* m_smallIcon = nullptr;
    bool m_ended = false;
    int m_result = IDCANCEL;
    int m_handlerDepth = 0;         // handler calls running (a close waits for them)
    bool m_closeDeferred = false;   // a close came while a handler ran
    bool m_ownerDisabled = false;   // we disabled the owner and enable it again
    bool m_paintedWhileBusy = false;
};

}  // namespace platform::win32
