#pragma once

#include "Records.h"
#include "TestDialog.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace platform::testwin {

// The window system of the unit tests: dialogs and controls in memory, built
// from the same templates as the real ones. A test plays the user through
// scripts that run while a modal dialog is up, answers message boxes from a
// queue, and afterwards reads what happened from the records: every dialog
// (also after it was destroyed), every message box, the wait cursor.
//
// Sizes: a dialog unit is 1.5 pixels across and 1.625 down (an 8-point
// dialog font), frames have no thickness, the screen is 1024 x 768.
class TestWindowSystem final : public WindowSystem {
public:
    static constexpr Rect SCREEN = {0, 0, 1024, 768};

    TestWindowSystem();
    ~TestWindowSystem() override;

    // What happens while a modal dialog runs: OnInitDialog, then any waiting
    // PostClose, then the script set for its template. A dialog still
    // running afterwards is closed like a user would close it (IDCANCEL,
    // forced if the handler refuses), so a run never hangs.
    int RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                 DialogHandler& handler) override;
    std::unique_ptr<Dialog> CreateModeless(const DialogTemplate& dialogTemplate,
                                           Dialog* owner) override;

    // Records the box and answers it: with the next queued answer, else with
    // the box's default button. Throws std::logic_error when the queued
    // answer is not one of the box's buttons (0, "not shown", always fits).
    int ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                       std::uint32_t style) override;

    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // Plays the user of every modal dialog made from template `templateId`,
    // each time one runs. Replaces an earlier script for the template.
    void OnModal(int templateId, std::function<void(TestDialog&)> user);

    // Queues the answer to the next message box not yet answered.
    void QueueAnswer(int answer);
    // Called with each box before it is answered, while the code under test
    // waits for it (to look at the state at that moment).
    void OnMessageBox(std::function<void(const MessageBoxRecord&)> observer);
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return m_messageBoxes; }

    // Dialogs made from template `templateId` from now on get `rect`.
    void PresetWindowRect(int templateId, Rect rect);

    // Every dialog made so far, oldest first, destroyed ones included.
    const std::deque<DialogRecord>& Dialogs() const { return m_dialogs; }
    // Every dialog made from template `templateId`, oldest first.
    std::vector<const DialogRecord*> DialogsFrom(int templateId) const;

    // Begins not yet ended; 0 when the cursor is normal.
    int WaitCursorDepth() const { return m_waitCursorDepth; }
    bool IsWaitCursorOn() const { return m_waitCursorDepth > 0; }
    int WaitCursorBegins() const { return m_waitCursorBegins; }
    int WaitCursorEnds() const { return m_waitCursorEnds; }
    // Ends that had no Begin to end.
    int UnbalancedWaitCursorEnds() const { return m_unbalancedEnds; }

private:
    DialogRecord& NewRecord(const DialogTemplate& dialogTemplate, bool modal, Dialog* owner);

    std::deque<DialogRecord> m_dialogs;  // a deque keeps records in place
    std::map<int, std::function<void(TestDialog&)>> m_scripts;
    std::map<int, Rect> m_presetRects;
    std::deque<int> m_answers;
    std::function<void(const MessageBoxRecord&)> m_boxObserver;
    std::vector<MessageBoxRecord> m_messageBoxes;
    int m_waitCursorDepth = 0;
    int m_waitCursorBegins = 0;
    int m_waitCursorEnds = 0;
    int m_unbalancedEnds = 0;
};

}  // namespace platform::testwin
