#pragma once

#include "../WindowSystem.h"
#include "ProgressLine.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::console {

class ConsoleDialog;

// A control of a console dialog, kept in memory as its template describes
// it. A static text that the program changes or shows once its dialog is
// up is printed, as a user would see it change; a progress bar draws
// itself on standard error.
class ConsoleControl final : public Window {
public:
    ConsoleControl(ConsoleDialog& dialog, const ControlTemplate& control);

    std::string GetText() const override;
    void SetText(std::string_view text) override;
    void Enable(bool enable) override { m_enabled = enable; }
    bool IsEnabled() const override { return m_enabled; }
    void Show(bool show) override;
    bool IsVisible() const override { return m_visible; }
    Rect GetWindowRect() const override { return {}; }
    void Move(int, int) override {}
    int AddString(std::string_view entry) override;
    int SetCurSel(int index) override;
    int GetCurSel() const override;
    int GetCount() const override;
    void SetRange(std::uint16_t lower, std::uint16_t upper) override;
    void SetPos(int position) override;

    int Id() const { return m_template.id; }
    ControlKind Kind() const { return m_template.kind; }
    // Where the template puts the control, in dialog units.
    int Left() const { return m_template.x; }
    int Top() const { return m_template.y; }
    // The dialog's title changed: a progress bar shows it as its label.
    void SetTitle(const std::string& title);

private:
    bool IsList() const { return m_template.kind == ControlKind::DropDownList; }
    bool IsStatic() const;
    void PrintIfShown();

    ConsoleDialog& m_dialog;
    const ControlTemplate& m_template;
    std::string m_text;
    bool m_enabled;
    bool m_visible;
    std::vector<std::string> m_entries;
    int m_selection = CB_ERR;
    std::unique_ptr<ProgressLine> m_progress;  // progress bars only
};

}  // namespace platform::console
