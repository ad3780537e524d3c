#pragma once

#include "../WindowSystem.h"
#include "ConsoleDialog.h"
#include "ConsoleOutput.h"
#include "Terminal.h"

#include <functional>
#include <map>
#include <string>

namespace platform::console {

// The window system of a console program: dialogs live in memory, message
// boxes are printed and answered at the console, the progress window is a
// bar on standard error. A front end plays the user of a modal dialog
// through a script that presses its buttons.
//
// Message boxes: the text as it stands, on standard error when it carries
// the warning icon (it reports a failure) and on standard output otherwise.
// A Yes/No box is then answered on a line of its own, "[y/N] ...": Yes when
// the front end says so (a command-line flag), else by the user when
// standard input is a terminal (anything but y or yes is No), else No.
class ConsoleWindowSystem final : public WindowSystem {
public:
    explicit ConsoleWindowSystem(Terminal& terminal);
    ~ConsoleWindowSystem() override;

    // OnInitDialog, then a waiting PostClose, then the script set for the
    // template. A dialog still running afterwards is closed with IDCANCEL,
    // forced if the handler refuses: there is no one left to close it.
    int RunModal(const DialogTemplate& dialogTemplate, Dialog* owner, DialogHandler& handler) override;
    std::unique_ptr<Dialog> CreateModeless(const DialogTemplate& dialogTemplate, Dialog* owner) override;
    int ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                       std::uint32_t style) override;
    // Nothing to show: the console shows progress instead.
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}

    // Plays the user of every modal dialog made from template `templateId`.
    void OnModal(int templateId, std::function<void(ConsoleDialog&)> user);

    // From now on Yes/No boxes are answered Yes, and the answer line says
    // `why`; an empty `why` goes back to asking.
    void AnswerYes(std::string why) { m_yesBecause = std::move(why); }

    // How many boxes with the warning icon have been shown.
    int WarningsShown() const { return m_warnings; }

    ConsoleOutput& Output() { return m_output; }

private:
    int Answer();

    ConsoleOutput m_output;
    std::map<int, std::function<void(ConsoleDialog&)>> m_scripts;
    std::string m_yesBecause;
    int m_warnings = 0;
};

}  // namespace platform::console
