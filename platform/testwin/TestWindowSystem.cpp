#include "TestWindowSystem.h"

#include <algorithm>
#include <stdexcept>

namespace platform::testwin {

namespace {

// Dialog units of an 8-point dialog font: 4 units are 6 pixels across,
// 8 units are 13 pixels down.
int PixelsAcross(int units)
{
    return units * 6 / 4;
}

int PixelsDown(int units)
{
    return units * 13 / 8;
}

DialogRecord* RecordOf(Dialog* dialog)
{
    auto* testDialog = dynamic_cast<TestDialog*>(dialog);
    return testDialog != nullptr ? &testDialog->Record() : nullptr;
}

std::string ButtonsOf(std::uint32_t style)
{
    return (style & MB_TYPEMASK) == MB_YESNO ? "Yes/No" : "OK";
}

bool FitsBox(int answer, std::uint32_t style)
{
    if (answer == 0) {
        return true;
    }
    if ((style & MB_TYPEMASK) == MB_YESNO) {
        return answer == IDYES || answer == IDNO;
    }
    return answer == IDOK;
}

int DefaultButton(std::uint32_t style)
{
    if ((style & MB_TYPEMASK) == MB_YESNO) {
        return (style & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
    }
    return IDOK;
}

}  // namespace

const ControlRecord* DialogRecord::Control(int id) const
{
    const auto found = std::ranges::find(controls, id, &ControlRecord::id);
    return found != controls.end() ? &*found : nullptr;
}

ControlRecord* DialogRecord::Control(int id)
{
    const auto found = std::ranges::find(controls, id, &ControlRecord::id);
    return found != controls.end() ? &*found : nullptr;
}

TestWindowSystem::TestWindowSystem() = default;
TestWindowSystem::~TestWindowSystem() = default;

DialogRecord& TestWindowSystem::NewRecord(const DialogTemplate& dialogTemplate, bool modal,
                                          Dialog* owner)
{
    DialogRecord& record = m_dialogs.emplace_back();
    record.templateId = dialogTemplate.id;
    record.modal = modal;
    record.owner = RecordOf(owner);
    record.caption = dialogTemplate.caption;
    record.hasSystemMenu = (dialogTemplate.style & WS_SYSMENU) != 0;

    const int width = PixelsAcross(dialogTemplate.cx);
    const int height = PixelsDown(dialogTemplate.cy);
    int left = PixelsAcross(dialogTemplate.x);
    int top = PixelsDown(dialogTemplate.y);
    if (modal && dialogTemplate.x == 0 && dialogTemplate.y == 0) {
        const Rect around = record.owner != nullptr ? record.owner->rect : SCREEN;
        left = around.left + (around.Width() - width) / 2;
        top = around.top + (around.Height() - height) / 2;
    }
    record.rect = {left, top, left + width, top + height};
    if (const auto preset = m_presetRects.find(dialogTemplate.id); preset != m_presetRects.end()) {
        record.rect = preset->second;
    }

    for (const ControlTemplate& control : dialogTemplate.controls) {
        ControlRecord& added = record.controls.emplace_back();
        added.id = control.id;
        added.kind = control.kind;
        added.sorted = control.sorted;
        added.text = control.text;
        added.enabled = !control.disabled;
        added.visible = !control.hidden;
        added.rect = {PixelsAcross(control.x), PixelsDown(control.y),
                      PixelsAcross(control.x + control.cx), PixelsDown(control.y + control.cy)};
    }
    return record;
}

int TestWindowSystem::RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                               DialogHandler& handler)
{
    DialogRecord& record = NewRecord(dialogTemplate, true, owner);
    DialogRecord* ownerRecord = RecordOf(owner);
    const bool ownerWasEnabled = ownerRecord != nullptr && ownerRecord->enabled;
    if (ownerRecord != nullptr) {
        ownerRecord->enabled = false;
    }

    {
        TestDialog dialog(record, &handler);
        handler.OnInitDialog(dialog);
        if (!dialog.Ended()) {
            record.visible = true;
            dialog.ProcessPostedClose();
        }
        if (!dialog.Ended()) {
            if (const auto script = m_scripts.find(dialogTemplate.id); script != m_scripts.end()) {
                const auto user = script->second;  // the script may replace itself
                user(dialog);
            }
        }
        if (!dialog.Ended()) {
            dialog.Close();
        }
        if (!dialog.Ended()) {
            record.result = IDCANCEL;
        }
    }

    if (ownerRecord != nullptr) {
        ownerRecord->enabled = ownerWasEnabled;
    }
    return *record.result;
}

std::unique_ptr<Dialog> TestWindowSystem::CreateModeless(const DialogTemplate& dialogTemplate,
                                                         Dialog* owner)
{
    DialogRecord& record = NewRecord(dialogTemplate, false, owner);
    record.visible = (dialogTemplate.style & WS_VISIBLE) != 0;
    return std::make_unique<TestDialog>(record, nullptr);
}

int TestWindowSystem::ShowMessageBox(Dialog* owner, std::string_view text,
                                     std::string_view caption, std::uint32_t style)
{
    MessageBoxRecord& box = m_messageBoxes.emplace_back();
    box.text = text;
    box.caption = caption;
    box.style = style;
    box.owner = RecordOf(owner);
    box.answer = DefaultButton(style);
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        if (!FitsBox(answer, style)) {
            throw std::logic_error("scripted answer " + std::to_string(answer) +
                                   " does not fit a box with the buttons " + ButtonsOf(style) +
                                   ": \"" + box.text + "\"");
        }
        box.answer = answer;
    }
    const int answer = box.answer;
    if (m_boxObserver) {
        // Copy: the observer may show boxes itself, which moves the records.
        const auto observer = m_boxObserver;
        observer(MessageBoxRecord(box));
    }
    return answer;
}

void TestWindowSystem::BeginWaitCursor()
{
    ++m_waitCursorDepth;
    ++m_waitCursorBegins;
}

void TestWindowSystem::EndWaitCursor()
{
    ++m_waitCursorEnds;
    if (m_waitCursorDepth == 0) {
        ++m_unbalancedEnds;
        return;
    }
    --m_waitCursorDepth;
}

void TestWindowSystem::OnModal(int templateId, std::function<void(TestDialog&)> user)
{
    m_scripts[templateId] = std::move(user);
}

void TestWindowSystem::QueueAnswer(int answer)
{
    m_answers.push_back(answer);
}

void TestWindowSystem::OnMessageBox(std::function<void(const MessageBoxRecord&)> observer)
{
    m_boxObserver = std::move(observer);
}

void TestWindowSystem::PresetWindowRect(int templateId, Rect rect)
{
    m_presetRects[templateId] = rect;
}

std::vector<const DialogRecord*> TestWindowSystem::DialogsFrom(int templateId) const
{
    std::vector<const DialogRecord*> found;
    for (const DialogRecord& record : m_dialogs) {
        if (record.templateId == templateId) {
            found.push_back(&record);
        }
    }
    return found;
}

}  // namespace platform::testwin
