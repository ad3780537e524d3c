#include "TestControl.h"

#include "TestDialog.h"

#include <algorithm>
#include <cctype>

namespace platform::testwin {

namespace {

// Sorted lists order their entries without regard to case.
bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::ranges::lexicographical_compare(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
    });
}

}  // namespace

TestControl::TestControl(TestDialog& dialog, ControlRecord& record)
    : m_dialog(dialog), m_record(record)
{
}

std::string TestControl::GetText() const
{
    if (IsList()) {
        return m_record.selection == CB_ERR ? std::string() : m_record.entries[m_record.selection];
    }
    return m_record.text;
}

void TestControl::SetText(std::string_view text)
{
    if (!IsList()) {
        m_record.text = text;
    }
}

void TestControl::Enable(bool enable)
{
    m_record.enabled = enable;
}

bool TestControl::IsEnabled() const
{
    return m_record.enabled;
}

void TestControl::Show(bool show)
{
    m_record.visible = show;
}

bool TestControl::IsVisible() const
{
    return m_record.visible;
}

Rect TestControl::GetWindowRect() const
{
    const Rect dialog = m_dialog.GetWindowRect();
    const Rect& own = m_record.rect;
    return {dialog.left + own.left, dialog.top + own.top, dialog.left + own.right,
            dialog.top + own.bottom};
}

void TestControl::Move(int left, int top)
{
    const Rect dialog = m_dialog.GetWindowRect();
    const int width = m_record.rect.Width();
    const int height = m_record.rect.Height();
    m_record.rect = {left - dialog.left, top - dialog.top, left - dialog.left + width,
                     top - dialog.top + height};
}

int TestControl::AddString(std::string_view entry)
{
    if (!IsList()) {
        return CB_ERR;
    }
    std::string text(entry);
    auto at = m_record.entries.end();
    if (m_record.sorted) {
        at = std::ranges::upper_bound(m_record.entries, text, LessIgnoringCase);
    }
    const auto index = static_cast<int>(at - m_record.entries.begin());
    m_record.entries.insert(at, std::move(text));
    if (m_record.selection != CB_ERR && m_record.selection >= index) {
        ++m_record.selection;
    }
    return index;
}

int TestControl::SetCurSel(int index)
{
    if (!IsList()) {
        return CB_ERR;
    }
    if (index < 0 || index >= GetCount()) {
        m_record.selection = CB_ERR;
        return CB_ERR;
    }
    m_record.selection = index;
    return index;
}

int TestControl::GetCurSel() const
{
    return IsList() ? m_record.selection : CB_ERR;
}

int TestControl::GetCount() const
{
    return IsList() ? static_cast<int>(m_record.entries.size()) : CB_ERR;
}

void TestControl::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    if (m_record.kind != ControlKind::ProgressBar) {
        return;
    }
    m_record.rangeSet = true;
    m_record.rangeLower = lower;
    m_record.rangeUpper = upper;
}

void TestControl::SetPos(int position)
{
    if (m_record.kind == ControlKind::ProgressBar) {
        m_record.positions.push_back(position);
    }
}

}  // namespace platform::testwin
