#include "ConsoleControl.h"

#include "ConsoleDialog.h"

#include <algorithm>

namespace platform::console {

ConsoleControl::ConsoleControl(ConsoleDialog& dialog, const ControlTemplate& control)
    : m_dialog(dialog),
      m_template(control),
      m_text(control.text),
      m_enabled(!control.disabled),
      m_visible(!control.hidden)
{
    if (control.kind == ControlKind::ProgressBar) {
        m_progress = std::make_unique<ProgressLine>(dialog.Output());
        m_progress->SetTitle(dialog.GetText());
    }
}

bool ConsoleControl::IsStatic() const
{
    return m_template.kind == ControlKind::StaticLeft || m_template.kind == ControlKind::StaticRight ||
           m_template.kind == ControlKind::StaticCenter;
}

std::string ConsoleControl::GetText() const
{
    if (IsList()) {
        return m_selection == CB_ERR ? std::string() : m_entries[static_cast<std::size_t>(m_selection)];
    }
    return m_text;
}

void ConsoleControl::SetText(std::string_view text)
{
    if (IsList()) {
        return;  // a list shows its selection
    }
    m_text = text;
    PrintIfShown();
}

void ConsoleControl::Show(bool show)
{
    const bool appears = show && !m_visible;
    m_visible = show;
    if (appears) {
        PrintIfShown();
    }
}

void ConsoleControl::PrintIfShown()
{
    if (IsStatic() && m_visible && m_dialog.Shown()) {
        m_dialog.Output().Item(Stream::Out, m_text);
    }
}

int ConsoleControl::AddString(std::string_view entry)
{
    if (!IsList()) {
        return CB_ERR;
    }
    auto at = m_entries.end();
    if (m_template.sorted) {
        at = std::upper_bound(m_entries.begin(), m_entries.end(), entry);
    }
    const auto index = at - m_entries.begin();
    m_entries.insert(at, std::string(entry));
    if (m_selection != CB_ERR && index <= m_selection) {
        ++m_selection;  // the selected entry moved down
    }
    return static_cast<int>(index);
}

int ConsoleControl::SetCurSel(int index)
{
    if (!IsList()) {
        return CB_ERR;
    }
    if (index < 0 || index >= GetCount()) {
        m_selection = CB_ERR;
        return CB_ERR;
    }
    m_selection = index;
    return index;
}

int ConsoleControl::GetCurSel() const
{
    return IsList() ? m_selection : CB_ERR;
}

int ConsoleControl::GetCount() const
{
    return IsList() ? static_cast<int>(m_entries.size()) : CB_ERR;
}

void ConsoleControl::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    if (m_progress) {
        m_progress->SetRange(lower, upper);
    }
}

void ConsoleControl::SetPos(int position)
{
    if (m_progress) {
        m_progress->SetPos(position);
    }
}

void ConsoleControl::SetTitle(const std::string& title)
{
    if (m_progress) {
        m_progress->SetTitle(title);
    }
}

}  // namespace platform::console
