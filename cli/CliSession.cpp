#include "CliSession.h"

#include "ExitStatus.h"
#include "Interrupt.h"

#include "app/CUpdaterDlg.h"
#include "resources/ResourceIds.h"

#include <cstdlib>
#include <map>

namespace cli {

using platform::console::ConsoleDialog;
using platform::console::Stream;

namespace {

constexpr const char* PROGRAM = "vrt58-dsp-update";

// Why questions answered Yes without asking.
constexpr const char* YES_FLAG = "--yes";
constexpr const char* TEST_ONLY_READS = "test only reads the scanner's version";

}  // namespace

CliSession::CliSession(platform::console::Terminal& terminal, const Options& options)
    : m_terminal(terminal), m_options(options), m_windows(terminal)
{
}

int CliSession::Run()
{
    platform::ScopedWindowSystem use(m_windows);
    CUpdaterDlg updater;

    // The start-up warning asks whether to go on with an update: `test`
    // shows it and goes on, since it sends nothing the scanner keeps.
    if (m_options.yes) {
        m_windows.AnswerYes(YES_FLAG);
    } else if (!m_options.update) {
        m_windows.AnswerYes(TEST_ONLY_READS);
    }

    int status = EXIT_DECLINED;
    bool ran = false;
    m_windows.OnModal(IDD_MAIN, [&](ConsoleDialog& dialog) {
        ran = true;
        status = Drive(dialog, updater);
        dialog.Click(IDOK);  // EXIT
    });
    try {
        updater.DoModal();
        CheckInterrupt();  // a question cut short reads as No
    } catch (const Interrupted&) {
        Say(Stream::Err, InterruptedText());
        return EXIT_INTERRUPTED;
    }
    if (!ran) {
        Say(Stream::Err, std::string(PROGRAM) + ": the answer was No; nothing was sent to the scanner.");
    }
    return status;
}

int CliSession::Drive(ConsoleDialog& dialog, CUpdaterDlg& updater)
{
    if (!m_options.yes) {
        m_windows.AnswerYes("");  // the version question is the user's
    }
    if (m_options.update && m_options.skipTest) {
        // What an allowed test in an earlier run left: the port stored,
        // UPDATE enabled, TEST and the port list locked.
        dialog.Select(IDC_PORT_LIST, m_options.comNumber - 1);
        updater.m_nPort = m_options.comNumber - 1;
        dialog.GetDlgItem(IDC_UPDATE)->Enable(true);
        dialog.GetDlgItem(IDC_TEST)->Enable(false);
        dialog.GetDlgItem(IDC_PORT_LIST)->Enable(false);
        return Update(dialog);
    }
    if (const int status = Test(dialog); status != EXIT_DONE) {
        return status;
    }
    if (!m_options.update) {
        Say(Stream::Out, "The update may go ahead.");
        return EXIT_DONE;
    }
    if (!Pause(dialog)) {
        Say(Stream::Err, std::string(PROGRAM) + ": no go-ahead (the input ended); nothing was sent to the scanner.");
        return EXIT_DECLINED;
    }
    return Update(dialog);
}

int CliSession::Test(ConsoleDialog& dialog)
{
    m_phase = Phase::Test;
    const std::string banner = dialog.GetDlgItem(IDC_VERSION_TEXT)->GetText();
    const int warnings = m_windows.WarningsShown();
    dialog.Select(IDC_PORT_LIST, m_options.comNumber - 1);
    dialog.Click(IDC_TEST);
    CheckInterrupt();  // the engine may have taken it for a cut-short exchange

    if (m_windows.WarningsShown() != warnings) {
        return EXIT_FAILED;  // the box said why
    }
    if (dialog.GetDlgItem(IDC_UPDATE)->IsEnabled()) {
        return EXIT_DONE;
    }
    if (dialog.GetDlgItem(IDC_VERSION_TEXT)->GetText() != banner) {
        Say(Stream::Err, std::string(PROGRAM) + ": the answer was No; the update will not go ahead.");
        return EXIT_DECLINED;
    }
    // The dialog shows nothing for it.
    Say(Stream::Err, std::string(PROGRAM) + ": the scanner answered without a usable version. Please retry from Step 1.");
    return EXIT_FAILED;
}

bool CliSession::Pause(ConsoleDialog& dialog)
{
    m_phase = Phase::Pause;
    Say(Stream::Out, StepTexts(dialog, 4, 6));
    if (!m_terminal.IsTerminal(Stream::In)) {
        return true;
    }
    m_terminal.Write(Stream::Out, "Press Enter when the scanner is in its DSP update mode (Ctrl+C stops): ");
    const bool answered = m_terminal.ReadLine().has_value();
    CheckInterrupt();
    if (!answered) {
        m_terminal.Write(Stream::Out, "\n");  // the prompt's line ends all the same
    }
    return answered;
}

int CliSession::Update(ConsoleDialog& dialog)
{
    m_phase = Phase::Update;
    dialog.Click(IDC_UPDATE);
    CheckInterrupt();
    return dialog.GetDlgItem(IDC_DONE_TEXT)->IsVisible() ? EXIT_DONE : EXIT_FAILED;
}

void CliSession::Say(Stream stream, const std::string& text)
{
    m_windows.Output().Item(stream, text);
}

std::string CliSession::InterruptedText() const
{
    const std::string prefix = std::string(PROGRAM) + ": interrupted; ";
    switch (m_phase) {
    case Phase::Start:
    case Phase::Pause:
        return prefix + "nothing was sent to the scanner.";
    case Phase::Test:
        return prefix + "the test was stopped and the port closed.";
    case Phase::Update:
        break;
    }
    return prefix +
           "the update did not complete and the port is closed.\n"
           "You can always revert to the factory DSP programming via the procedure described in\n"
           "the VRT-58 manual; then retry from step 4.";
}

std::string StepTexts(const ConsoleDialog& dialog, int first, int last)
{
    // A step is a right-aligned number label ("4.") with its text on the
    // same row.
    std::map<int, std::string> steps;
    for (const auto& label : dialog.Controls()) {
        if (label->Kind() != platform::ControlKind::StaticRight) {
            continue;
        }
        const std::string number = label->GetText();
        int n = 0;
        if (number.size() < 2 || number.back() != '.' || (n = std::atoi(number.c_str())) < first || n > last) {
            continue;
        }
        for (const auto& text : dialog.Controls()) {
            if (text->Kind() == platform::ControlKind::StaticLeft && text->Top() == label->Top() &&
                text->Left() > label->Left()) {
                steps[n] = number + " " + text->GetText();
                break;
            }
        }
    }
    std::string out;
    for (const auto& [n, text] : steps) {
        out += (out.empty() ? "" : "\n") + text;
    }
    return out;
}

}  // namespace cli
