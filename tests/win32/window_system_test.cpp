// The Win32 window system in the program's own process, under the real
// dialog manager: the templates as it builds them, the modal loop, the
// system menu, the icons, and the progress window while its caller keeps
// the thread busy. Input is posted straight to the windows, so the tests
// need a display but no keyboard focus.
#include "platform/win32/Win32Dialog.h"
#include "platform/win32/Win32WindowSystem.h"
#include "resources/Resources.h"

#include "platform/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::ControlKind;
using platform::Dialog;
using platform::DialogHandler;
using platform::win32::Win32Dialog;
using platform::win32::Win32WindowSystem;

HWND HwndOf(Dialog& dialog)
{
    return dynamic_cast<Win32Dialog&>(dialog).Hwnd();
}

HWND ItemOf(Dialog& dialog, int id)
{
    return GetDlgItem(HwndOf(dialog), id);
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

// A handler that records the commands it gets and runs the test's code.
struct Handler : DialogHandler {
    std::function<void(Dialog&)> init;
    std::function<bool(Dialog&, int)> command;
    std::vector<int> commands;
    std::vector<std::uint32_t> sysCommands;

    void OnInitDialog(Dialog& dialog) override
    {
        if (init) {
            init(dialog);
        }
    }
    bool OnCommand(Dialog& dialog, int id) override
    {
        commands.push_back(id);
        return command ? command(dialog, id) : false;
    }
    bool OnSysCommand(Dialog&, std::uint32_t id) override
    {
        sysCommands.push_back(id);
        return id == IDM_ABOUTBOX;
    }
};

class WindowSystemTest : public ::testing::Test {
protected:
    Win32WindowSystem windows;
    platform::ScopedWindowSystem use{windows};
    const platform::DialogTemplate& main = *resources::FindTemplate(IDD_MAIN);
};

TEST_F(WindowSystemTest, TheDialogManagerBuildsWhatTheTemplateSays)
{
    Handler handler;
    bool visibleDuringInit = true;
    handler.init = [&](Dialog& dialog) {
        const HWND hwnd = HwndOf(dialog);
        visibleDuringInit = IsWindowVisible(hwnd) != 0;
        EXPECT_EQ(dialog.GetText(), "VRT-58 DSP Update Utility");

        // The template's font, so its dialog units are the designer's.
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        RECT units = {0, 0, 343, 274};
        MapDialogRect(hwnd, &units);
        RECT client;
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, units.right);
        EXPECT_EQ(client.bottom, units.bottom);

        // Every control, in template order, of its class, with its
        // identifier and styles.
        HWND child = GetWindow(hwnd, GW_CHILD);
        for (const platform::ControlTemplate& control : main.controls) {
            SCOPED_TRACE(control.id);
            ASSERT_NE(child, nullptr);
            const auto style = static_cast<std::uint32_t>(GetWindowLongW(child, GWL_STYLE));
            EXPECT_EQ(static_cast<short>(GetDlgCtrlID(child)), control.id);
            EXPECT_EQ((style & WS_TABSTOP) != 0, control.tabStop);
            EXPECT_EQ((style & WS_GROUP) != 0, control.group);
            EXPECT_EQ((style & WS_DISABLED) != 0, control.disabled);
            EXPECT_EQ((style & platform::WS_VISIBLE) != 0, !control.hidden);
            switch (control.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefPushButton:
                EXPECT_EQ(ClassOf(child), L"Button");
                EXPECT_EQ(style & 0xF, control.kind == ControlKind::DefPushButton ? 1u : 0u);
                break;
            case ControlKind::DropDownList:
                EXPECT_EQ(ClassOf(child), L"ComboBox");
                EXPECT_EQ(style & 0x3, static_cast<std::uint32_t>(CBS_DROPDOWNLIST));
                EXPECT_EQ((style & CBS_SORT) != 0, control.sorted);
                break;
            default:
                EXPECT_EQ(ClassOf(child), L"Static");
                EXPECT_EQ(style & 0x1F, control.kind == ControlKind::StaticRight    ? 2u
                                        : control.kind == ControlKind::StaticCenter ? 1u
                                                                                    : 0u);
                break;
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr);
        dialog.EndDialog(IDOK);
    };
    EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDOK);
    EXPECT_FALSE(visibleDuringInit);
}

TEST_F(WindowSystemTest, ACloseAskedForDuringInitialisationEndsTheDialogUnseen)
{
    Handler handler;
    bool everVisible = false;
    handler.init = [](Dialog& dialog) { dialog.PostClose(); };
    handler.command = [&](Dialog& dialog, int) {
        everVisible = IsWindowVisible(HwndOf(dialog)) != 0;
        return false;
    };
    EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDCANCEL);
    EXPECT_EQ(handler.commands, std::vector<int>{IDCANCEL});
    EXPECT_FALSE(everVisible);
}

TEST_F(WindowSystemTest, AcceleratorsComeBeforeTheFocusedControl)
{
    Handler handler;
    bool dropped = true;
    handler.init = [&](Dialog& dialog) {
        dialog.SetAccelerators(resources::FindAccelerators(IDR_ACCELERATORS));
        // F4 would drop the list down; the accelerator takes it first. F3
        // without Alt is no accelerator. Escape ends the dialog.
        const HWND list = ItemOf(dialog, IDC_PORT_LIST);
        PostMessageW(list, WM_KEYDOWN, platform::VK_F4, 0x003E0001);
        PostMessageW(list, WM_KEYDOWN, platform::VK_F3, 0x003D0001);
        PostMessageW(list, WM_KEYDOWN, platform::VK_ESCAPE, 0x00010001);
    };
    handler.command = [&](Dialog& dialog, int id) {
        if (id == ID_SHOW_MESSAGES) {
            dropped = SendMessageW(ItemOf(dialog, IDC_PORT_LIST), CB_GETDROPPEDSTATE, 0, 0) != 0;
            return true;
        }
        return false;
    };
    EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDCANCEL);
    EXPECT_EQ(handler.commands, (std::vector<int>{ID_SHOW_MESSAGES, IDCANCEL}));
    EXPECT_FALSE(dropped);
}

TEST_F(WindowSystemTest, TheAboutItemIsInTheRealSystemMenu)
{
    Handler handler;
    handler.init = [&](Dialog& dialog) {
        ASSERT_TRUE(dialog.HasSystemMenu());
        dialog.AppendSystemMenuSeparator();
        dialog.AppendSystemMenuItem(IDM_ABOUTBOX, "&About the VRT-58 DSP Update Utility...");
        const HMENU menu = GetSystemMenu(HwndOf(dialog), FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
        wchar_t text[128] = {};
        GetMenuStringW(menu, count - 1, text, 128, MF_BYPOSITION);
        EXPECT_STREQ(text, L"&About the VRT-58 DSP Update Utility...");
        EXPECT_EQ(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
        // The item's command, then the close box's.
        PostMessageW(HwndOf(dialog), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        PostMessageW(HwndOf(dialog), WM_SYSCOMMAND, platform::SC_CLOSE, 0);
    };
    EXPECT_EQ(windows.RunModal(main, nullptr, handler), IDCANCEL);
    EXPECT_EQ(handler.sysCommands, (std::vector<std::uint32_t>{IDM_ABOUTBOX, platform::SC_CLOSE}));
    EXPECT_EQ(handler.commands, std::vector<int>{IDCANCEL});
}

TEST_F(WindowSystemTest, IconsAreDrawnFromTheIconData)
{
    const int large = GetSystemMetrics(SM_CXICON);
    Handler handler;
    handler.init = [&](Dialog& dialog) {
        dialog.SetIcon(resources::FindIcon(IDR_MAINFRAME));
        const HWND hwnd = HwndOf(dialog);
        for (const WPARAM which : {ICON_BIG, ICON_SMALL}) {
            const auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP mask = {};
            GetObjectW(info.hbmMask, sizeof mask, &mask);
            EXPECT_EQ(mask.bmWidth, GetSystemMetrics(which == ICON_BIG ? SM_CXICON : SM_CXSMICON));
            DeleteObject(info.hbmMask);
            DeleteObject(info.hbmColor);
        }
        // The About box's icon control shows the icon at the system's size.
        const HWND control = GetWindow(hwnd, GW_CHILD);
        EXPECT_NE(SendMessageW(control, STM_GETICON, 0, 0), 0);
        RECT size;
        GetClientRect(control, &size);
        EXPECT_EQ(size.right, large);
        dialog.EndDialog(IDOK);
    };
    EXPECT_EQ(windows.RunModal(*resources::FindTemplate(IDD_ABOUTBOX), nullptr, handler), IDOK);
}

// The upload's shape: a handler that keeps the thread busy for seconds,
// setting the bar's position between pauses, while the user clicks EXIT,
// presses Escape and the close box, and another program keeps asking the
// window something.
TEST_F(WindowSystemTest, TheProgressWindowStaysAliveWhileTheUserIsKeptOut)
{
    constexpr int STEPS = 40;  // 100 ms each
    constexpr int BUSY = 1002;
    constexpr int DONE = 1234;
    Handler handler;
    std::vector<int> shown;
    bool waitCursor = true;
    bool arrowAfter = false;
    std::atomic<int> answered{0};
    std::atomic<int> unanswered{0};
    handler.init = [](Dialog& dialog) { PostMessageW(HwndOf(dialog), WM_COMMAND, BUSY, 0); };
    handler.command = [&](Dialog& dialog, int id) {
        if (id != BUSY) {
            if (id == DONE) {
                dialog.EndDialog(DONE);
                return true;
            }
            return false;
        }
        windows.BeginWaitCursor();
        auto progress = windows.CreateModeless(*resources::FindTemplate(IDD_PROGRESS), &dialog);
        EXPECT_NE(progress, nullptr);
        if (progress == nullptr) {
            return true;
        }
        progress->Show(true);
        platform::Window* bar = progress->GetDlgItem(IDC_PROGRESS);
        const HWND barHwnd = GetDlgItem(HwndOf(*progress), IDC_PROGRESS);
        EXPECT_EQ(ClassOf(barHwnd), L"msctls_progress32");
        EXPECT_NE(GetWindowLongW(barHwnd, GWL_STYLE) & PBS_SMOOTH, 0);
        bar->SetRange(0, STEPS);

        const HWND exit = ItemOf(dialog, IDOK);
        const auto clickExit = [&] {
            PostMessageW(exit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(exit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        };
        const auto setCursor = [](HWND over) {
            SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        };
        std::atomic<bool> busy{true};
        const HWND window = HwndOf(*progress);
        std::thread other([&] {
            while (busy) {
                DWORD_PTR result = 0;
                if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &result) != 0) {
                    ++answered;
                } else if (busy) {
                    ++unanswered;
                }
                Sleep(200);
            }
        });
        for (int step = 1; step <= STEPS; ++step) {
            if (step == 10) {
                clickExit();
                PostMessageW(GetFocus(), WM_KEYDOWN, platform::VK_ESCAPE, 0x00010001);
                PostMessageW(HwndOf(dialog), WM_SYSCOMMAND, platform::SC_CLOSE, 0);
            }
            Sleep(100);  // a chunk on the line
            bar->SetPos(step);
            shown.push_back(static_cast<int>(SendMessageW(barHwnd, PBM_GETPOS, 0, 0)));
            // The pointer moving over a button asks for its cursor; the
            // wait cursor stays.
            setCursor(exit);
            waitCursor = waitCursor && GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
        }
        clickExit();  // after the last position, before the window goes
        busy = false;
        other.join();
        progress.reset();
        windows.EndWaitCursor();
        setCursor(exit);
        arrowAfter = GetCursor() == LoadCursorW(nullptr, IDC_ARROW);
        // Whatever the user did is gone: this comes next.
        PostMessageW(HwndOf(dialog), WM_COMMAND, DONE, 0);
        return true;
    };

    EXPECT_EQ(windows.RunModal(main, nullptr, handler), DONE);
    EXPECT_EQ(handler.commands, (std::vector<int>{BUSY, DONE}));
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(STEPS));
    for (int step = 1; step <= STEPS; ++step) {
        EXPECT_EQ(shown[step - 1], step);
    }
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(arrowAfter);
    EXPECT_EQ(unanswered, 0) << "the busy thread left another program's message unanswered for a second";
    EXPECT_GE(answered, 10);
}

TEST_F(WindowSystemTest, WaitCursorCallsNest)
{
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    windows.BeginWaitCursor();
    windows.BeginWaitCursor();
    EXPECT_EQ(GetCursor(), wait);
    windows.EndWaitCursor();
    EXPECT_EQ(GetCursor(), wait);
    windows.EndWaitCursor();
    EXPECT_NE(GetCursor(), wait);
    windows.EndWaitCursor();  // one too many: no effect
    EXPECT_NE(GetCursor(), wait);
    SetCursor(before);
}

}  // namespace
