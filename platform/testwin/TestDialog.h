#pragma once

#include "Records.h"
#include "TestControl.h"

#include <memory>
#include <vector>

namespace platform::testwin {

// A dialog of the test window system, its state kept in a DialogRecord.
// Besides what the code under test calls, it offers what a user does:
// click, press keys, pick a list entry, choose a system menu item. Each of
// those returns whether the dialog reacted; a disabled or hidden control,
// or a dialog that takes no input (disabled under a modal child, or ended),
// does not.
class TestDialog final : public Dialog {
public:
    // `handler` may be null (a modeless dialog takes no commands).
    TestDialog(DialogRecord& record, DialogHandler* handler);
    ~TestDialog() override;
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

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

    // Clicks push button `id`.
    bool Click(int id);

    // Presses `key` with `modifiers` (FSHIFT, FCONTROL, FALT) held: the
    // accelerators first, then Enter (the enabled default button), Escape
    // (IDCANCEL) and Alt+F4 (the close box).
    bool PressKey(std::uint16_t key, std::uint8_t modifiers = 0);

    // Picks entry `index` of drop-down list `id`; no command follows.
    bool Select(int id, int index);

    // Chooses an item of the system menu: one the program appended, or
    // SC_CLOSE, which every system menu has.
    bool ChooseSystemMenuItem(std::uint32_t command);

    // Clicks the close box.
    bool Close();

    bool Ended() const { return m_record.result.has_value(); }
    DialogRecord& Record() { return m_record; }
    const DialogRecord& Record() const { return m_record; }

    // Handles a waiting PostClose, as the message loop would.
    void ProcessPostedClose();

private:
    bool TakesInput() const;
    void Command(int id);
    void SystemCommand(std::uint32_t command);

    DialogRecord& m_record;
    DialogHandler* m_handler;
    std::vector<std::unique_ptr<TestControl>> m_controls;
};

}  // namespace platform::testwin
