// Shows the backend's windows for the gui tests and prints, one line each,
// what the handlers receive:
//   ready | rect ID L T R B | command ID | syscommand N | box ANSWER |
//   pos N | progress done | result N
//
//   wx-backend-demo main [warn] [box=KIND] [progress]
//   wx-backend-demo main postfirst
//       the main dialog, filled in as the program does; `warn` asks the
//       Yes/No warning first (refused: the dialog closes); `postfirst`
//       posts a close, then shows an OK box while the close waits; TEST
//       shows a box
//       of KIND owned by the dialog, or runs a progress window through a
//       busy loop
//   wx-backend-demo about
//   wx-backend-demo box KIND     KIND: info, warning, question, yesno
#include "platform/wx/WxWindowSystem.h"
#include "resources/Resources.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

namespace {

using namespace platform;

constexpr const char* CAPTION = "wx-backend-demo";

constexpr const char* WARNING_TEXT =
    "IMPORTANT!!!\n\nBefore attempting to use this utility, please ensure that you can transfer "
    "data\nbetween the VRT-58 and your PC, using a supported cable. A good test would be\nto "
    "acquire one of the data-management programs available, and perform a few\nupload and "
    "download operations between such a program and your scanner.\n\nThe steps described in "
    "this utility are written with the presumption that you\nalready have a suitable data "
    "transfer cable and are familiar with using that\ncable to connect your VRT-58 to your "
    "computer.\n\nPlease be assured that you cannot 'destroy' your radio with this utility - "
    "you\ncan always revert to the factory DSP programming via the procedure described in\nthe "
    "VRT-58 manual.\n\nAre you ready to proceed with this update utility?";

struct BoxKind {
    std::string_view name;
    const char* text;
    std::uint32_t style;
};

constexpr BoxKind BOXES[] = {
    {"info", "First line of a message.\n\nA second text & an ampersand.\n\n", MB_ICONINFORMATION},
    {"warning",
     "Unable to open the port COM3. Make sure that it actually\nexists and is not being used by "
     "any other program (e.g. a\nPDA program like Palm's HotSync).\n\nPlease retry from Step 2.",
     MB_ICONWARNING},
    {"question",
     "The version of the DSP Application in the scanner is 1.4, and\nis the factory "
     "version.\n\nThis update utility contains version 1.4.\n\nThis updater contains a version "
     "that is the same as what your scanner\nalready contains.\n\nDo you really want to upload "
     "version 1.4 ?",
     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2},
    {"yesno", WARNING_TEXT, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2},
};

const BoxKind* FindBox(std::string_view name)
{
    for (const BoxKind& box : BOXES) {
        if (box.name == name) {
            return &box;
        }
    }
    return nullptr;
}

void PrintRect(int id, const Rect& rect)
{
    std::printf("rect %d %d %d %d %d\n", id, rect.left, rect.top, rect.right, rect.bottom);
}

class MainHandler final : public DialogHandler {
public:
    bool warn = false;
    bool postFirst = false;
    const BoxKind* testBox = nullptr;
    bool progress = false;

    void OnInitDialog(Dialog& dialog) override
    {
        dialog.AppendSystemMenuSeparator();
        dialog.AppendSystemMenuItem(IDM_ABOUTBOX, resources::LoadString(IDS_ABOUTBOX));
        dialog.SetIcon(resources::FindIcon(IDR_MAINFRAME));
        dialog.SetAccelerators(resources::FindAccelerators(IDR_ACCELERATORS));
        Window* ports = dialog.GetDlgItem(IDC_PORT_LIST);
        for (int i = 1; i <= 256; ++i) {
            ports->AddString("COM" + std::to_string(i));
        }
        ports->SetCurSel(0);
        dialog.GetDlgItem(IDC_VERSION_TEXT)->SetText("SCANNER VERSION: ?.?\nUPDATER VERSION: 1.4");
        dialog.SetText(dialog.GetText() + " 1.4");
        Window* step7 = dialog.GetDlgItem(IDC_UPDATE_TEXT);
        step7->SetText(step7->GetText() + " 1.4");

        if (warn) {
            const int answer = CurrentWindowSystem().ShowMessageBox(
                &dialog, WARNING_TEXT, CAPTION, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2);
            std::printf("box %d\n", answer);
            if (answer != IDYES) {
                dialog.PostClose();
            }
        }
        if (postFirst) {
            dialog.PostClose();
            std::printf("box %d\n", CurrentWindowSystem().ShowMessageBox(
                                        &dialog, "Closing once this box is answered.", CAPTION,
                                        MB_OK | MB_ICONINFORMATION));
        }
        PrintRect(0, dialog.GetWindowRect());
        for (const int id : {IDOK, IDC_PORT_LIST, IDC_TEST}) {
            PrintRect(id, dialog.GetDlgItem(id)->GetWindowRect());
        }
        std::printf("ready\n");
    }

    bool OnCommand(Dialog& dialog, int id) override
    {
        std::printf("command %d\n", id);
        if (id == IDC_TEST && testBox != nullptr) {
            std::printf("box %d\n", CurrentWindowSystem().ShowMessageBox(&dialog, testBox->text,
                                                                         CAPTION, testBox->style));
        }
        if (id == IDC_TEST && progress) {
            RunProgress(dialog);
        }
        return id != IDOK && id != IDCANCEL;
    }

    bool OnSysCommand(Dialog&, std::uint32_t command) override
    {
        std::printf("syscommand %u\n", command);
        return command == IDM_ABOUTBOX;
    }

private:
    // The upload's use of the progress window: centred on the dialog, then
    // a busy loop that never returns to the event loop.
    static void RunProgress(Dialog& dialog)
    {
        WindowSystem& windows = CurrentWindowSystem();
        windows.BeginWaitCursor();
        {
            auto window = windows.CreateModeless(*resources::FindTemplate(IDD_PROGRESS), &dialog);
            window->SetText("Updating DSP");
            const Rect owner = dialog.GetWindowRect();
            const Rect own = window->GetWindowRect();
            window->Move((owner.left + owner.right) / 2 - own.Width() / 2,
                         (owner.top + owner.bottom) / 2 - own.Height() / 2);
            window->Show(true);
            Window* bar = window->GetDlgItem(IDC_PROGRESS);
            constexpr int steps = 40;
            bar->SetRange(0, steps * 100);
            for (int i = 1; i <= steps; ++i) {
                bar->SetPos(i * 100);
                std::printf("pos %d\n", i * 100);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        windows.EndWaitCursor();
        std::printf("progress done\n");
    }
};

class AboutHandler final : public DialogHandler {
public:
    void OnInitDialog(Dialog& dialog) override
    {
        Window* title = dialog.GetDlgItem(IDC_ABOUT_TITLE);
        title->SetText(title->GetText() + " 1.4");
        std::printf("ready\n");
    }
};

int Usage()
{
    std::fprintf(stderr, "usage: wx-backend-demo main [warn] [postfirst] [box=KIND] [progress] | "
                         "about | "
                         "box KIND\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    platform::wx::WxWindowSystem windows(argc, argv);
    if (!windows.Started()) {
        std::fprintf(stderr, "wx-backend-demo: cannot open the display\n");
        return 1;
    }
    ScopedWindowSystem use(windows);
    if (argc < 2) {
        return Usage();
    }
    const std::string_view scenario = argv[1];
    if (scenario == "main") {
        MainHandler handler;
        for (int i = 2; i < argc; ++i) {
            const std::string_view option = argv[i];
            if (option == "warn") {
                handler.warn = true;
            } else if (option == "postfirst") {
                handler.postFirst = true;
            } else if (option == "progress") {
                handler.progress = true;
            } else if (option.starts_with("box=") && FindBox(option.substr(4)) != nullptr) {
                handler.testBox = FindBox(option.substr(4));
            } else {
                return Usage();
            }
        }
        const int result = windows.RunModal(*resources::FindTemplate(IDD_MAIN), nullptr, handler);
        std::printf("result %d\n", result);
        return 0;
    }
    if (scenario == "about") {
        AboutHandler handler;
        std::printf("result %d\n",
                    windows.RunModal(*resources::FindTemplate(IDD_ABOUTBOX), nullptr, handler));
        return 0;
    }
    if (scenario == "box" && argc == 3 && FindBox(argv[2]) != nullptr) {
        const BoxKind& box = *FindBox(argv[2]);
        std::printf("ready\n");
        std::printf("box %d\n", windows.ShowMessageBox(nullptr, box.text, CAPTION, box.style));
        return 0;
    }
    return Usage();
}
