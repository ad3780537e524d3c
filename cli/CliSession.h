#pragma once

#include "platform/console/ConsoleWindowSystem.h"
#include "platform/console/Terminal.h"

#include <string>

class CUpdaterDlg;

namespace cli {

// One test or update at the console: the main dialog, run over the console
// window system, with its buttons pressed as a user would press them. The
// dialog's texts are printed as they come; the front end adds only what the
// console needs (the pause for steps 4 to 6, the closing line of a test, a
// line when no box said why it stopped).
class CliSession {
public:
    struct Options {
        bool update = false;    // update (else test)
        int comNumber = 1;      // the port list's entry, COM<n>
        bool yes = false;       // --yes: every question answered Yes
        bool skipTest = false;  // --skip-test: the scanner is already in update mode
    };

    CliSession(platform::console::Terminal& terminal, const Options& options);

    // Runs it; the program's exit status.
    int Run();

private:
    enum class Phase { Start, Test, Pause, Update };

    int Drive(platform::console::ConsoleDialog& dialog, CUpdaterDlg& updater);
    int Test(platform::console::ConsoleDialog& dialog);
    bool Pause(platform::console::ConsoleDialog& dialog);
    int Update(platform::console::ConsoleDialog& dialog);
    void Say(platform::console::Stream stream, const std::string& text);
    std::string InterruptedText() const;

    platform::console::Terminal& m_terminal;
    Options m_options;
    platform::console::ConsoleWindowSystem m_windows;
    Phase m_phase = Phase::Start;
};

// The texts of the steps `first` to `last` as the dialog shows them: each
// number with the text beside it ("4. Turn the scanner OFF ...").
std::string StepTexts(const platform::console::ConsoleDialog& dialog, int first, int last);

}  // namespace cli
