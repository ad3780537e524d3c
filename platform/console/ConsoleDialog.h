#pragma once

#include "../WindowSystem.h"
#include "ConsoleControl.h"
#include "ConsoleOutput.h"

#include <memory>
#include <optional>
#include <vector>

namespace platform::console {

// A dialog of the console window system: its controls in memory, built
// from its template. It has no system menu, icon or accelerators (there are
// no keys to press). Besides what the program calls, it offers what the
// user at the console does: click a button, pick a list entry. Each returns
// whether the dialog reacted; a disabled or hidden control, or a dialog
// that has ended, does not.
class ConsoleDialog final : public Dialog {
public:
    // `handler` may be null (a modeless dialog takes no commands).
    ConsoleDialog(ConsoleOutput& output, const DialogTemplate& dialogTemplate, DialogHandler* handler);
    ~ConsoleDialog() override;
    ConsoleDialog(const ConsoleDialog&) = delete;
    ConsoleDialog& operator=(const ConsoleDialog&) = delete;

    std::string GetText() const override { return m_caption; }
    void SetText(std::string_view text) override;
    void Enable(bool enable) override { m_enabled = enable; }
    bool IsEnabled() const override { return m_enabled; }
    void Show(bool show) override { m_visible = show; }
    bool IsVisible() const override { return m_visible; }
    Rect GetWindowRect() const override { return {}; }
    void Move(int, int) override {}
    int AddString(std::string_view) override { return CB_ERR; }
    int SetCurSel(int) override { return CB_ERR; }
    int GetCurSel() const override { return CB_ERR; }
    int GetCount() const override { return CB_ERR; }
    void SetRange(std::uint16_t, std::uint16_t) override {}
    void SetPos(int) override {}

    Window* GetDlgItem(int id) override;
    void EndDialog(int result) override;
    void PostClose() override { m_closePosted = true; }
    void SetAccelerators(std::span<const AcceleratorEntry>) override {}
    bool HasSystemMenu() const override { return false; }
    void AppendSystemMenuSeparator() override {}
    void AppendSystemMenuItem(std::uint32_t, std::string_view) override {}
    void SetIcon(const IconResource*) override {}

    // Clicks push button `id`: the handler's command, else the standard
    // handling of IDOK and IDCANCEL (the dialog ends).
    bool Click(int id);
    // Picks entry `index` of drop-down list `id`; no command follows.
    bool Select(int id, int index);

    bool Ended() const { return m_result.has_value(); }
    std::optional<int> Result() const { return m_result; }

    // Handles a waiting PostClose, as a message loop would: the command
    // IDCANCEL.
    void ProcessPostedClose();

    // The dialog is up: from now on the texts the program changes are shown.
    void MarkShown() { m_shown = true; }
    bool Shown() const { return m_shown; }

    // The controls in template order.
    const std::vector<std::unique_ptr<ConsoleControl>>& Controls() const { return m_controls; }

    ConsoleOutput& Output() { return m_output; }

private:
    ConsoleControl* Find(int id);
    void Command(int id);

    ConsoleOutput& m_output;
    DialogHandler* m_handler;
    std::string m_caption;
    bool m_enabled = true;
    bool m_visible;
    bool m_shown = false;
    bool m_closePosted = false;
    std::optional<int> m_result;
    std::vector<std::unique_ptr<ConsoleControl>> m_controls;
};

}  // namespace platform::console
