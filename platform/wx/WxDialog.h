#pragma once

#include "platform/WindowSystem.h"

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class wxCloseEvent;
class wxCommandEvent;
class wxContextMenuEvent;
class wxKeyEvent;

namespace platform::wx {

class WxDialog;

// A control of a WxDialog: the wx control that shows it plus what the
// backend must remember itself (a static's text before wrapping, a bar's
// range).
class WxControl final : public Window {
public:
    WxControl(WxDialog& dialog, const ControlTemplate& control, wxWindow* native);

    std::string GetText() const override;
    void SetText(std::string_view text) override;
    void Enable(bool enable) override;
    bool IsEnabled() const override;
    void Show(bool show) override;
    bool IsVisible() const override;
    Rect GetWindowRect() const override;
    void Move(int left, int top) override;
    int AddString(std::string_view entry) override;
    int SetCurSel(int index) override;
    int GetCurSel() const override;
    int GetCount() const override;
    void SetRange(std::uint16_t lower, std::uint16_t upper) override;
    void SetPos(int position) override;

    int Id() const { return m_id; }
    ControlKind Kind() const { return m_kind; }
    bool TabStop() const { return m_tabStop; }
    // The wx control, null once the dialog's window is gone.
    wxWindow* Native() const;

private:
    void ShowText();

    WxDialog& m_dialog;
    int m_id;
    ControlKind m_kind;
    bool m_tabStop;
    bool m_noPrefix;
    wxWindow* m_native;  // a child of the dialog's window, which owns it
    std::string m_text;
    std::uint16_t m_lower = 0;
    std::uint16_t m_upper = 100;
    int m_position = 0;
};

// A dialog built from a template on a wxDialog. Modal dialogs (with a
// handler) get their commands from buttons, keys, the close box and the
// context menu that stands in for the system menu; modeless ones take none.
class WxDialog final : public Dialog {
public:
    // Builds the window and its controls, hidden. `owner` may be null;
    // `handler` null makes a modeless dialog. Native() is null when the
    // window could not be made.
    WxDialog(const DialogTemplate& dialogTemplate, WxDialog* owner, DialogHandler* handler);
    ~WxDialog() override;
    WxDialog(const WxDialog&) = delete;
    WxDialog& operator=(const WxDialog&) = delete;

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
    bool HasSystemMenu() const override { return m_hasSystemMenu; }
    void AppendSystemMenuSeparator() override;
    void AppendSystemMenuItem(std::uint32_t command, std::string_view text) override;
    void SetIcon(const IconResource* icon) override;

    // OnInitDialog, then shows the dialog and runs its loop until it ends.
    int RunModal();

    // The wx window, null once it is gone.
    wxDialog* Native() const { return m_native.get(); }

    // The top-left corner of the client area, in screen pixels.
    wxPoint ClientOrigin() const;

private:
    struct MenuItem {
        std::uint32_t command = 0;
        std::string text;  // empty for a separator
    };

    void Place(const DialogTemplate& dialogTemplate, WxDialog* owner);
    void FocusFirstTabStop();
    void Command(int id);
    void SystemCommand(std::uint32_t command);
    void ProcessPostedClose();
    void HandlerReturned();
    void ShowSystemMenu(const wxPoint& where);
    WxControl* DefaultButton();
    bool TakesInput() const;

    void OnButton(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);

    wxWeakRef<wxDialog> m_native;
    DialogHandler* m_handler;
    bool m_hasSystemMenu;
    int m_baseX = 1;  // dialog base units of the dialog's font, in pixels
    int m_baseY = 1;
    std::vector<std::unique_ptr<WxControl>> m_controls;
    std::vector<AcceleratorEntry> m_accelerators;
    std::vector<MenuItem> m_systemMenu;
    bool m_ended = false;
    int m_result = IDCANCEL;
    bool m_closePosted = false;
    bool m_closeDeferred = false;  // it came while a handler ran
    int m_handlerDepth = 0;  // handler calls running (a close waits for them)
};

}  // namespace platform::wx
