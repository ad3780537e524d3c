#pragma once

#include "platform/WindowSystem.h"

struct HWND__;
struct HICON__;

namespace platform::win32 {

class Win32Dialog;

// A control of a Win32Dialog: the child window the dialog manager made from
// the template, reached through its own messages.
class Win32Control final : public Window {
public:
    Win32Control(Win32Dialog& dialog, const ControlTemplate& control, HWND__* hwnd);
    ~Win32Control() override;
    Win32Control(const Win32Control&) = delete;
    Win32Control& operator=(const Win32Control&) = delete;

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
    HWND__* Hwnd() const { return m_hwnd; }

private:
    bool Is(ControlKind kind) const { return m_kind == kind; }

    Win32Dialog& m_dialog;
    int m_id;
    ControlKind m_kind;
    HWND__* m_hwnd;
    HICON__* m_icon = nullptr;  // an icon control's picture, ours to destroy
};

}  // namespace platform::win32
