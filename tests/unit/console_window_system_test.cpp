// The console window system headless: message boxes printed and answered,
// controls in memory, texts that change once the dialog is up, and the
// progress bar on a terminal and in a log, in virtual time.
#include "platform/Services.h"
#include "platform/console/ConsoleWindowSystem.h"
#include "platform/console/ProgressLine.h"
#include "platform/fake/VirtualClock.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"
#include "support/MemoryTerminal.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace platform;
using platform::console::ConsoleDialog;
using platform::console::ConsoleWindowSystem;
using platform::console::ProgressLine;
using testing_support::MemoryTerminal;

namespace {

struct NoPorts final : CommPorts {
    std::unique_ptr<CommDevice> Open(const std::string&, std::uint32_t& error) override
    {
        error = 2;
        return nullptr;
    }
};

struct BoxCase {
    const char* name;
    std::uint32_t style;
    const char* yesBecause;
    bool inputIsTerminal;
    std::optional<std::string> typed;  // nothing: the input ends
    const char* out;
    const char* err;
    int answer;
};

TEST(ConsoleWindowSystem, PrintsEachBoxAndAnswersItFromTheFlagOrTheUser)
{
    const std::vector<BoxCase> cases = {
        {"information", MB_ICONINFORMATION, "", true, "y", "Text\nsecond line\n", "", IDOK},
        {"warning", MB_ICONWARNING, "--yes", true, "y", "", "Text\nsecond line\n", IDOK},
        {"yes flag", MB_YESNO | MB_ICONQUESTION, "--yes", true, "n", "Text\nsecond line\n[y/N] yes (--yes)\n", "",
         IDYES},
        {"no terminal", MB_YESNO | MB_ICONQUESTION, "", false, "y",
         "Text\nsecond line\n[y/N] no (standard input is not a terminal)\n", "", IDNO},
        {"typed y", MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2, "", true, "y", "Text\nsecond line\n[y/N] ", "",
         IDYES},
        {"typed Yes", MB_YESNO | MB_ICONQUESTION, "", true, " Yes ", "Text\nsecond line\n[y/N] ", "", IDYES},
        {"just Enter", MB_YESNO | MB_ICONQUESTION, "", true, "", "Text\nsecond line\n[y/N] ", "", IDNO},
        {"typed yep", MB_YESNO | MB_ICONQUESTION, "", true, "yep", "Text\nsecond line\n[y/N] ", "", IDNO},
        {"input ended", MB_YESNO | MB_ICONQUESTION, "", true, std::nullopt, "Text\nsecond line\n[y/N] \n", "", IDNO},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryTerminal terminal;
        terminal.inputIsTerminal = c.inputIsTerminal;
        if (c.typed) {
            terminal.input.push_back(*c.typed);
        }
        ConsoleWindowSystem windows(terminal);
        windows.AnswerYes(c.yesBecause);
        EXPECT_EQ(windows.ShowMessageBox(nullptr, "Text\nsecond line", "caption", c.style), c.answer);
        EXPECT_EQ(terminal.out, c.out);
        EXPECT_EQ(terminal.err, c.err);
        EXPECT_EQ(windows.WarningsShown(), (c.style & MB_ICONMASK) == MB_ICONWARNING ? 1 : 0);
        // Only a question on a terminal without the flag reads an answer.
        const bool asks = (c.style & MB_TYPEMASK) == MB_YESNO && c.inputIsTerminal && *c.yesBecause == 0;
        EXPECT_EQ(terminal.reads, asks ? 1 : 0);
    }
}

TEST(ConsoleWindowSystem, SetsBoxesApartByAnEmptyLineOnWhicheverStream)
{
    MemoryTerminal terminal;
    ConsoleWindowSystem windows(terminal);
    windows.ShowMessageBox(nullptr, "one", "", MB_ICONINFORMATION);
    windows.ShowMessageBox(nullptr, "two", "", MB_ICONWARNING);
    windows.ShowMessageBox(nullptr, "three", "", MB_ICONINFORMATION);
    EXPECT_EQ(terminal.out, "one\n\nthree\n");
    EXPECT_EQ(terminal.err, "\ntwo\n");
}

// Sets texts while the dialog initialises, then records its commands.
struct Handler final : DialogHandler {
    void OnInitDialog(Dialog& dialog) override
    {
        dialog.GetDlgItem(IDC_VERSION_TEXT)->SetText("set while initialising");
        dialog.GetDlgItem(IDC_PORT_LIST)->AddString("COM1");
        dialog.GetDlgItem(IDC_PORT_LIST)->AddString("COM2");
        dialog.GetDlgItem(IDC_PORT_LIST)->SetCurSel(0);
        if (closeAtOnce) {
            dialog.PostClose();
        }
    }
    bool OnCommand(Dialog& dialog, int id) override
    {
        commands.push_back(id);
        if (id == IDC_TEST) {
            dialog.GetDlgItem(IDC_VERSION_TEXT)->SetText("banner\nsecond line");
            dialog.GetDlgItem(IDC_DONE_TEXT)->Show(true);
            dialog.GetDlgItem(IDC_DONE_TEXT)->Show(true);  // already shown: nothing more
            dialog.GetDlgItem(IDC_TEST)->Enable(false);
            return true;
        }
        return false;
    }
    bool closeAtOnce = false;
    std::vector<int> commands;
};

TEST(ConsoleWindowSystem, KeepsControlsAndPrintsTextsThatChangeOnceTheDialogIsUp)
{
    MemoryTerminal terminal;
    ConsoleWindowSystem windows(terminal);
    Handler handler;
    bool ran = false;
    windows.OnModal(IDD_MAIN, [&](ConsoleDialog& d) {
        ran = true;
        EXPECT_EQ(d.GetDlgItem(IDC_VERSION_TEXT)->GetText(), "set while initialising");
        EXPECT_FALSE(d.Click(IDC_UPDATE));  // disabled by the template
        EXPECT_FALSE(d.Click(IDC_VERSION_TEXT));  // no button
        EXPECT_TRUE(d.Select(IDC_PORT_LIST, 1));
        EXPECT_FALSE(d.Select(IDC_PORT_LIST, 2));
        EXPECT_EQ(d.GetDlgItem(IDC_PORT_LIST)->GetText(), "");  // the failed pick cleared it
        EXPECT_TRUE(d.Select(IDC_PORT_LIST, 1));
        EXPECT_EQ(d.GetDlgItem(IDC_PORT_LIST)->GetText(), "COM2");
        EXPECT_TRUE(d.Click(IDC_TEST));
        EXPECT_FALSE(d.Click(IDC_TEST));  // it disabled itself
        EXPECT_TRUE(d.Click(IDOK));
        EXPECT_FALSE(d.Click(IDOK));      // ended
    });
    const DialogTemplate& main = *resources::FindTemplate(IDD_MAIN);
    EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDOK);
    EXPECT_TRUE(ran);
    EXPECT_EQ(handler.commands, (std::vector<int>{IDC_TEST, IDOK}));
    EXPECT_EQ(terminal.out,
              "banner\nsecond line\n\nOperation complete. You may exit this utility by clicking the 'EXIT' button.\n");
    EXPECT_EQ(terminal.err, "");
}

TEST(ConsoleWindowSystem, ADialogClosedWhileInitialisingOrLeftOpenEndsWithCancel)
{
    const DialogTemplate& main = *resources::FindTemplate(IDD_MAIN);
    for (const bool closeAtOnce : {true, false}) {
        SCOPED_TRACE(closeAtOnce ? "closed at once" : "left open");
        MemoryTerminal terminal;
        ConsoleWindowSystem windows(terminal);
        Handler handler;
        handler.closeAtOnce = closeAtOnce;
        bool ran = false;
        windows.OnModal(IDD_MAIN, [&](ConsoleDialog&) { ran = true; });
        EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDCANCEL);
        EXPECT_EQ(ran, !closeAtOnce);
        EXPECT_EQ(handler.commands, std::vector<int>{IDCANCEL});
    }
}

class ConsoleProgress : public testing::Test {
protected:
    // The program's progress window with `positions` set on its bar, then
    // destroyed; `msPerStep` passes before each position.
    void Run(std::uint16_t upper, const std::vector<int>& positions, std::uint32_t msPerStep)
    {
        ConsoleWindowSystem windows(terminal);
        terminal.out.clear();
        std::unique_ptr<Dialog> window = windows.CreateModeless(*resources::FindTemplate(IDD_PROGRESS), nullptr);
        window->SetText("Updating DSP");
        Window* bar = window->GetDlgItem(IDC_PROGRESS);
        bar->SetRange(0, upper);
        for (const int position : positions) {
            clock.Advance(msPerStep);
            bar->SetPos(position);
        }
        window.reset();
    }

    // The positions of this build's upload: 100 bytes at a time.
    static std::vector<int> Chunks(int length)
    {
        std::vector<int> positions;
        for (int total = 100; total < length + 100; total += 100) {
            positions.push_back(std::min(total, length));
        }
        return positions;
    }

    MemoryTerminal terminal;
    fake::VirtualClock clock;
    NoPorts ports;
    ScopedServices services{clock, ports};
};

TEST_F(ConsoleProgress, InALogWritesALineAtEachTenth)
{
    Run(27038, Chunks(27038), 152);
    EXPECT_EQ(terminal.err,
              "Updating DSP: 10% (2800 of 27038 bytes)\n"
              "Updating DSP: 20% (5500 of 27038 bytes)\n"
              "Updating DSP: 30% (8200 of 27038 bytes)\n"
              "Updating DSP: 40% (10900 of 27038 bytes)\n"
              "Updating DSP: 50% (13600 of 27038 bytes)\n"
              "Updating DSP: 60% (16300 of 27038 bytes)\n"
              "Updating DSP: 70% (19000 of 27038 bytes)\n"
              "Updating DSP: 80% (21700 of 27038 bytes)\n"
              "Updating DSP: 90% (24400 of 27038 bytes)\n"
              "Updating DSP: 100% (27038 of 27038 bytes)\n");
    EXPECT_EQ(terminal.out, "");
}

TEST_F(ConsoleProgress, OnATerminalRedrawsOneLineWithTheTimeLeftAndEndsIt)
{
    terminal.errorIsTerminal = true;
    std::vector<std::string> draws;
    terminal.onWrite = [&](console::Stream, std::string_view text) { draws.emplace_back(text); };
    Run(27038, Chunks(27038), 152);

    ASSERT_EQ(draws.size(), 271u + 1u);
    // 152 ms for 100 bytes: the 26938 bytes left take 41 s.
    EXPECT_EQ(draws.front(), "\rUpdating DSP [------------------------------]   0%  100/27038 bytes  0:41 left");
    EXPECT_EQ(draws[135], "\rUpdating DSP [###############---------------]  50%  13600/27038 bytes  0:21 left");
    EXPECT_EQ(draws[270], "\rUpdating DSP [##############################] 100%  27038/27038 bytes  0:00 left");
    EXPECT_EQ(draws.back(), "\n");
}

TEST(ConsoleProgressText, CoversShortLongAndEmptyRanges)
{
    EXPECT_EQ(ProgressLine::BarText("", 0, 0, 0, 0), "Progress [##############################] 100%  0/0 bytes");
    EXPECT_EQ(ProgressLine::BarText("T", 0, 1000, 0, 500), "T [------------------------------]   0%  0/1000 bytes");
    EXPECT_EQ(ProgressLine::BarText("T", 0, 60000, 1, 1), "T [------------------------------]   0%  1/60000 bytes  1:00 left");
    EXPECT_EQ(ProgressLine::BarText("T", 0, 1000, 2000, 10), "T [##############################] 100%  1000/1000 bytes  0:00 left");
    EXPECT_EQ(ProgressLine::StepText("T", 0, 0, 0), "T: 100% (0 of 0 bytes)");
}

}  // namespace
