#include "ConsoleDialog.h"

#include <algorithm>

namespace platform::console {

ConsoleDialog::ConsoleDialog(ConsoleOutput& output, const DialogTemplate& dialogTemplate, DialogHandler* handler)
    : m_output(output),
      m_handler(handler),
      m_caption(dialogTemplate.caption),
      m_visible((dialogTemplate.style & WS_VISIBLE) != 0)
{
    for (const ControlTemplate& control : dialogTemplate.controls) {
        m_controls.push_back(std::make_unique<ConsoleControl>(*this, control));
    }
}

ConsoleDialog::~ConsoleDialog() = default;

void ConsoleDialog::SetText(std::string_view text)
{
    m_caption = text;
    for (const auto& control : m_controls) {
        control->SetTitle(m_caption);
    }
}

Window* ConsoleDialog::GetDlgItem(int id)
{
    return Find(id);
}

ConsoleControl* ConsoleDialog::Find(int id)
{
    const auto found = std::ranges::find_if(m_controls, [id](const auto& c) { return c->Id() == id; });
    return found != m_controls.end() ? found->get() : nullptr;
}

void ConsoleDialog::EndDialog(int result)
{
    if (m_handler != nullptr && !m_result) {
        m_result = result;
    }
}

bool ConsoleDialog::Click(int id)
{
    ConsoleControl* button = Find(id);
    if (Ended() || button == nullptr || !button->IsEnabled() || !button->IsVisible() ||
        (button->Kind() != ControlKind::PushButton && button->Kind() != ControlKind::DefPushButton)) {
        return false;
    }
    Command(id);
    ProcessPostedClose();
    return true;
}

bool ConsoleDialog::Select(int id, int index)
{
    ConsoleControl* list = Find(id);
    if (Ended() || list == nullptr || !list->IsEnabled() || !list->IsVisible() ||
        list->Kind() != ControlKind::DropDownList) {
        return false;
    }
    return list->SetCurSel(index) == index;
}

void ConsoleDialog::ProcessPostedClose()
{
    if (m_closePosted && !Ended()) {
        m_closePosted = false;
        Command(IDCANCEL);
    }
}

void ConsoleDialog::Command(int id)
{
    if (m_handler == nullptr) {
        return;
    }
    if (!m_handler->OnCommand(*this, id) && (id == IDOK || id == IDCANCEL)) {
        EndDialog(id);
    }
}

}  // namespace platform::console
