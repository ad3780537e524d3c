#include "platform/testwin/TestWindowSystem.h"
#include "resources/Resources.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

using namespace platform;
using platform::testwin::DialogRecord;
using platform::testwin::TestDialog;
using platform::testwin::TestWindowSystem;

// A handler that records what reaches it and runs optional code on init.
struct RecordingHandler : DialogHandler {
    std::function<void(Dialog&)> init;
    std::vector<int> commands;
    std::vector<std::uint32_t> sysCommands;
    bool takeCommands = false;

    void OnInitDialog(Dialog& dialog) override
    {
        if (init) init(dialog);
    }
    bool OnCommand(Dialog&, int id) override
    {
        commands.push_back(id);
        return takeCommands && id != IDOK && id != IDCANCEL;
    }
    bool OnSysCommand(Dialog&, std::uint32_t command) override
    {
        sysCommands.push_back(command);
        return command != SC_CLOSE;
    }
};

const DialogTemplate& Template(int id)
{
    const DialogTemplate* found = resources::FindTemplate(id);
    if (found == nullptr) throw std::logic_error("no template");
    return *found;
}

TEST(TestWindowSystem, BuildsTheMainDialogFromItsTemplateAndPlaysTheUser)
{
    TestWindowSystem windows;
    RecordingHandler handler;
    handler.takeCommands = true;
    handler.init = [](Dialog& dialog) {
        Window* list = dialog.GetDlgItem(IDC_PORT_LIST);
        for (const char* port : {"COM1", "COM2", "COM10"}) list->AddString(port);
        list->SetCurSel(0);
    };
    bool scriptRan = false;
    windows.OnModal(IDD_MAIN, [&](TestDialog& dialog) {
        scriptRan = true;
        EXPECT_TRUE(dialog.IsVisible());
        EXPECT_EQ(dialog.GetText(), "VRT-58 DSP Update Utility");
        EXPECT_EQ(dialog.GetDlgItem(IDC_VERSION_TEXT)->GetText(),
                  "SCANNER VERSION: 00.00     UPDATER VERSION: 00.00");
        EXPECT_EQ(dialog.GetDlgItem(4711), nullptr);

        Window* list = dialog.GetDlgItem(IDC_PORT_LIST);
        EXPECT_EQ(list->GetCount(), 3);
        EXPECT_EQ(list->GetText(), "COM1");
        EXPECT_TRUE(dialog.Select(IDC_PORT_LIST, 2));
        EXPECT_EQ(list->GetCurSel(), 2);
        EXPECT_EQ(list->GetText(), "COM10");
        EXPECT_FALSE(dialog.Select(IDC_PORT_LIST, 3));

        EXPECT_FALSE(dialog.GetDlgItem(IDC_UPDATE)->IsEnabled());
        EXPECT_FALSE(dialog.Click(IDC_UPDATE));
        EXPECT_FALSE(dialog.GetDlgItem(IDC_DONE_TEXT)->IsVisible());
        EXPECT_FALSE(dialog.Click(IDC_VERSION_TEXT));  // not a button
        EXPECT_TRUE(dialog.Click(IDC_TEST));
        EXPECT_FALSE(dialog.Ended());

        EXPECT_TRUE(dialog.Click(IDOK));  // EXIT
        EXPECT_FALSE(dialog.Click(IDC_TEST));  // ended: takes no more input
    });

    EXPECT_EQ(windows.RunModal(Template(IDD_MAIN), nullptr, handler), IDOK);
    EXPECT_TRUE(scriptRan);
    EXPECT_EQ(handler.commands, (std::vector<int>{IDC_TEST, IDOK}));

    ASSERT_EQ(windows.Dialogs().size(), 1u);
    const DialogRecord& record = windows.Dialogs().front();
    EXPECT_TRUE(record.destroyed);
    EXPECT_EQ(record.result, IDOK);
    EXPECT_EQ(record.controls.size(), 20u);
    EXPECT_EQ(record.Control(IDC_PORT_LIST)->selection, 2);
}

TEST(TestWindowSystem, ListsRejectBadIndexesAndKeepSortedOrderWhenAsked)
{
    static constexpr ControlTemplate controls[] = {
        {.id = 1, .kind = ControlKind::DropDownList},
        {.id = 2, .kind = ControlKind::DropDownList, .sorted = true},
        {.id = 3, .kind = ControlKind::StaticLeft, .text = "label"},
    };
    const DialogTemplate lists = {.id = 900, .controls = controls};
    TestWindowSystem windows;
    auto dialog = windows.CreateModeless(lists, nullptr);

    Window* plain = dialog->GetDlgItem(1);
    Window* sorted = dialog->GetDlgItem(2);
    for (const char* entry : {"COM9", "com10", "COM1"}) {
        plain->AddString(entry);
        sorted->AddString(entry);
    }
    EXPECT_EQ(windows.Dialogs()[0].Control(1)->entries,
              (std::vector<std::string>{"COM9", "com10", "COM1"}));
    EXPECT_EQ(windows.Dialogs()[0].Control(2)->entries,
              (std::vector<std::string>{"COM1", "com10", "COM9"}));

    EXPECT_EQ(plain->GetCurSel(), CB_ERR);
    EXPECT_EQ(plain->SetCurSel(1), 1);
    EXPECT_EQ(plain->SetCurSel(3), CB_ERR);
    EXPECT_EQ(plain->GetCurSel(), CB_ERR);

    Window* label = dialog->GetDlgItem(3);
    EXPECT_EQ(label->AddString("x"), CB_ERR);
    EXPECT_EQ(label->GetCount(), CB_ERR);
    EXPECT_EQ(label->GetText(), "label");
}

TEST(TestWindowSystem, AnswersMessageBoxesFromTheQueueThenWithTheDefaultButton)
{
    TestWindowSystem windows;
    std::vector<std::string> seen;
    windows.OnMessageBox([&](const testwin::MessageBoxRecord& box) { seen.push_back(box.text); });
    windows.QueueAnswer(IDYES);
    windows.QueueAnswer(0);  // the box could not be shown

    EXPECT_EQ(windows.ShowMessageBox(nullptr, "first?", "VRT58DSPUpdater",
                                     MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2),
              IDYES);
    EXPECT_EQ(windows.ShowMessageBox(nullptr, "second", "App", MB_ICONWARNING), 0);
    EXPECT_EQ(windows.ShowMessageBox(nullptr, "q", "App", MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2),
              IDNO);
    EXPECT_EQ(windows.ShowMessageBox(nullptr, "q", "App", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(windows.ShowMessageBox(nullptr, "info", "App", MB_ICONINFORMATION), IDOK);

    const auto& boxes = windows.MessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].text, "first?");
    EXPECT_EQ(boxes[0].caption, "VRT58DSPUpdater");
    EXPECT_EQ(boxes[0].style, 0x144u);
    EXPECT_EQ(boxes[1].answer, 0);
    EXPECT_EQ(seen.size(), 5u);

    // A scripted answer the box cannot give is a mistake in the test.
    windows.QueueAnswer(IDYES);
    EXPECT_THROW(windows.ShowMessageBox(nullptr, "oops", "App", MB_ICONWARNING), std::logic_error);
}

TEST(TestWindowSystem, PostCloseDuringInitClosesBeforeTheUserActs)
{
    TestWindowSystem windows;
    RecordingHandler handler;
    handler.init = [&](Dialog& dialog) {
        dialog.PostClose();
        EXPECT_TRUE(handler.commands.empty());  // only once messages flow
    };
    bool scriptRan = false;
    windows.OnModal(IDD_MAIN, [&](TestDialog&) { scriptRan = true; });

    EXPECT_EQ(windows.RunModal(Template(IDD_MAIN), nullptr, handler), IDCANCEL);
    EXPECT_FALSE(scriptRan);
    EXPECT_EQ(handler.commands, std::vector<int>{IDCANCEL});
}

TEST(TestWindowSystem, KeysGoToAcceleratorsFirstAndAltF4Closes)
{
    TestWindowSystem windows;
    RecordingHandler handler;
    handler.takeCommands = true;
    handler.init = [](Dialog& dialog) {
        dialog.SetAccelerators(resources::FindAccelerators(IDR_ACCELERATORS));
    };
    windows.OnModal(IDD_MAIN, [](TestDialog& dialog) {
        EXPECT_TRUE(dialog.PressKey(VK_F4));
        EXPECT_TRUE(dialog.PressKey(VK_F3, FALT));
        EXPECT_FALSE(dialog.PressKey(VK_F3));
        EXPECT_FALSE(dialog.PressKey(VK_F1));
        EXPECT_TRUE(dialog.PressKey(VK_F4, FALT));
    });

    EXPECT_EQ(windows.RunModal(Template(IDD_MAIN), nullptr, handler), IDCANCEL);
    EXPECT_EQ(handler.commands, (std::vector<int>{ID_SHOW_MESSAGES, ID_SHOW_MESSAGES, IDCANCEL}));
    EXPECT_EQ(handler.sysCommands, std::vector<std::uint32_t>{SC_CLOSE});
}

TEST(TestWindowSystem, SystemMenuItemOpensANestedModalWhileTheOwnerIsDisabled)
{
    TestWindowSystem windows;
    struct AboutOpener : RecordingHandler {
        TestWindowSystem* windows = nullptr;
        bool OnSysCommand(Dialog& dialog, std::uint32_t command) override
        {
            RecordingHandler::OnSysCommand(dialog, command);
            if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
            DialogHandler about;
            windows->RunModal(Template(IDD_ABOUTBOX), &dialog, about);
            return true;
        }
    } handler;
    handler.windows = &windows;
    handler.init = [](Dialog& dialog) {
        ASSERT_TRUE(dialog.HasSystemMenu());
        dialog.AppendSystemMenuSeparator();
        dialog.AppendSystemMenuItem(IDM_ABOUTBOX, resources::LoadString(IDS_ABOUTBOX));
    };
    bool ownerWasDisabled = false;
    windows.OnModal(IDD_ABOUTBOX, [&](TestDialog& about) {
        ownerWasDisabled = !windows.Dialogs().front().enabled;
        EXPECT_TRUE(about.PressKey(VK_RETURN));  // OK is the default button
    });
    windows.OnModal(IDD_MAIN, [](TestDialog& dialog) {
        EXPECT_FALSE(dialog.ChooseSystemMenuItem(IDM_ABOUTBOX + 1));  // not in the menu
        EXPECT_TRUE(dialog.ChooseSystemMenuItem(IDM_ABOUTBOX));
        EXPECT_TRUE(dialog.IsEnabled());
    });

    windows.RunModal(Template(IDD_MAIN), nullptr, handler);

    EXPECT_TRUE(ownerWasDisabled);
    const auto abouts = windows.DialogsFrom(IDD_ABOUTBOX);
    ASSERT_EQ(abouts.size(), 1u);
    EXPECT_EQ(abouts[0]->result, IDOK);
    EXPECT_EQ(abouts[0]->owner, &windows.Dialogs().front());
    // Centred on its owner.
    const Rect main = windows.Dialogs().front().rect;
    const Rect about = abouts[0]->rect;
    EXPECT_EQ(about.left + about.Width() / 2, main.left + main.Width() / 2);
    EXPECT_EQ(windows.Dialogs().front().systemMenu.size(), 2u);
}

TEST(TestWindowSystem, RecordsTheProgressWindowBeyondItsLifetime)
{
    TestWindowSystem windows;
    windows.PresetWindowRect(IDD_PROGRESS, {0, 0, 280, 60});
    {
        auto progress = windows.CreateModeless(Template(IDD_PROGRESS), nullptr);
        EXPECT_FALSE(progress->IsVisible());  // the template is not visible
        EXPECT_EQ(progress->GetWindowRect(), (Rect{0, 0, 280, 60}));
        progress->Move(260, 320);
        progress->Show(true);
        progress->SetText("Updating DSP");
        Window* bar = progress->GetDlgItem(IDC_PROGRESS);
        bar->SetRange(0, 27038);
        bar->SetPos(100);
        bar->SetPos(27038);
        progress->SetPos(5);  // the window itself is no bar
    }

    const auto records = windows.DialogsFrom(IDD_PROGRESS);
    ASSERT_EQ(records.size(), 1u);
    const DialogRecord& progress = *records[0];
    EXPECT_TRUE(progress.destroyed);
    EXPECT_FALSE(progress.visible);
    EXPECT_EQ(progress.caption, "Updating DSP");
    EXPECT_EQ(progress.rect, (Rect{260, 320, 540, 380}));
    const auto* bar = progress.Control(IDC_PROGRESS);
    EXPECT_TRUE(bar->rangeSet);
    EXPECT_EQ(bar->rangeUpper, 27038);
    EXPECT_EQ(bar->positions, (std::vector<int>{100, 27038}));
}

TEST(TestWindowSystem, CountsTheWaitCursor)
{
    TestWindowSystem windows;
    windows.BeginWaitCursor();
    windows.BeginWaitCursor();
    windows.EndWaitCursor();
    EXPECT_TRUE(windows.IsWaitCursorOn());
    windows.EndWaitCursor();
    EXPECT_FALSE(windows.IsWaitCursorOn());
    windows.EndWaitCursor();
    EXPECT_EQ(windows.UnbalancedWaitCursorEnds(), 1);
    EXPECT_EQ(windows.WaitCursorBegins(), 2);
}

TEST(CurrentWindowSystem, IsTheInnermostInstalledOne)
{
    EXPECT_DEATH(CurrentWindowSystem(), "No window system is installed");

    TestWindowSystem outer;
    TestWindowSystem inner;
    ScopedWindowSystem useOuter(outer);
    {
        ScopedWindowSystem useInner(inner);
        EXPECT_EQ(&CurrentWindowSystem(), &inner);
    }
    EXPECT_EQ(&CurrentWindowSystem(), &outer);
}

}  // namespace
