#include "TestDialog.h"

#include <algorithm>

namespace platform::testwin {

TestDialog::TestDialog(DialogRecord& record, DialogHandler* handler)
    : m_record(record), m_handler(handler)
{
    for (ControlRecord& control : m_record.controls) {
        m_controls.push_back(std::make_unique<TestControl>(*this, control));
    }
}

TestDialog::~TestDialog()
{
    m_record.visible = false;
    m_record.destroyed = true;
}

std::string TestDialog::GetText() const
{
    return m_record.caption;
}

void TestDialog::SetText(std::string_view text)
{
    m_record.caption = text;
}

void TestDialog::Enable(bool enable)
{
    m_record.enabled = enable;
}

bool TestDialog::IsEnabled() const
{
    return m_record.enabled;
}

void TestDialog::Show(bool show)
{
    m_record.visible = show;
}

bool TestDialog::IsVisible() const
{
    return m_record.visible;
}

Rect TestDialog::GetWindowRect() const
{
    return m_record.rect;
}

void TestDialog::Move(int left, int top)
{
    const int width = m_record.rect.Width();
    const int height = m_record.rect.Height();
    m_record.rect = {left, top, left + width, top + height};
}

Window* TestDialog::GetDlgItem(int id)
{
    const auto found = std::ranges::find_if(
        m_controls, [id](const auto& control) { return control->Record().id == id; });
    return found != m_controls.end() ? found->get() : nullptr;
}

void TestDialog::EndDialog(int result)
{
    if (m_record.modal) {
        m_record.result = result;
    }
}

void TestDialog::PostClose()
{
    m_record.closePosted = true;
}

void TestDialog::SetAccelerators(std::span<const AcceleratorEntry> table)
{
    m_record.accelerators.assign(table.begin(), table.end());
}

bool TestDialog::HasSystemMenu() const
{
    return m_record.hasSystemMenu;
}

void TestDialog::AppendSystemMenuSeparator()
{
    m_record.systemMenu.push_back({.command = 0, .text = {}, .separator = true});
}

void TestDialog::AppendSystemMenuItem(std::uint32_t command, std::string_view text)
{
    m_record.systemMenu.push_back({.command = command, .text = std::string(text), .separator = false});
}

void TestDialog::SetIcon(const IconResource* icon)
{
    m_record.icon = icon;
}

bool TestDialog::Click(int id)
{
    const ControlRecord* control = m_record.Control(id);
    if (!TakesInput() || control == nullptr || !control->enabled || !control->visible ||
        (control->kind != ControlKind::PushButton && control->kind != ControlKind::DefPushButton)) {
        return false;
    }
    Command(id);
    ProcessPostedClose();
    return true;
}

bool TestDialog::PressKey(std::uint16_t key, std::uint8_t modifiers)
{
    if (!TakesInput()) {
        return false;
    }
    if (const std::uint16_t command = TranslateAccelerator(m_record.accelerators, key, modifiers);
        command != 0) {
        Command(command);
    } else if (key == VK_ESCAPE && modifiers == 0) {
        Command(IDCANCEL);
    } else if (key == VK_F4 && modifiers == FALT) {
        SystemCommand(SC_CLOSE);
    } else if (key == VK_RETURN && modifiers == 0) {
        const auto isDefault = [](const ControlRecord& control) {
            return control.kind == ControlKind::DefPushButton;
        };
        const auto found = std::ranges::find_if(m_record.controls, isDefault);
        if (found == m_record.controls.end() || !found->enabled || !found->visible) {
            return false;
        }
        Command(found->id);
    } else {
        return false;
    }
    ProcessPostedClose();
    return true;
}

bool TestDialog::Select(int id, int index)
{
    ControlRecord* control = m_record.Control(id);
    if (!TakesInput() || control == nullptr || control->kind != ControlKind::DropDownList ||
        !control->enabled || !control->visible || index < 0 ||
        index >= static_cast<int>(control->entries.size())) {
        return false;
    }
    control->selection = index;
    return true;
}

bool TestDialog::ChooseSystemMenuItem(std::uint32_t command)
{
    const bool inMenu = command == SC_CLOSE ||
                        std::ranges::any_of(m_record.systemMenu, [command](const MenuItem& item) {
                            return !item.separator && item.command == command;
                        });
    if (!TakesInput() || !m_record.hasSystemMenu || !inMenu) {
        return false;
    }
    SystemCommand(command);
    ProcessPostedClose();
    return true;
}

bool TestDialog::Close()
{
    if (!TakesInput()) {
        return false;
    }
    SystemCommand(SC_CLOSE);
    ProcessPostedClose();
    return true;
}

void TestDialog::ProcessPostedClose()
{
    // One request at a time, like one message: a handler that posts again
    // while closing is not run in a loop.
    if (m_record.closePosted && !Ended()) {
        m_record.closePosted = false;
        Command(IDCANCEL);
    }
}

bool TestDialog::TakesInput() const
{
    return m_record.enabled && !Ended() && !m_record.destroyed;
}

void TestDialog::Command(int id)
{
    if (m_handler != nullptr && m_handler->OnCommand(*this, id)) {
        return;
    }
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(id);
    }
}

void TestDialog::SystemCommand(std::uint32_t command)
{
    if (m_handler != nullptr && m_handler->OnSysCommand(*this, command)) {
        return;
    }
    if (command == SC_CLOSE) {
        Command(IDCANCEL);
    }
}

}  // namespace platform::testwin
