// win32-window-probe TITLE: prints what the windows tests cannot see from
// X: the controls of the program's top-level window titled TITLE, read
// from outside the program as a screen reader would (the window's own
// texts, styles and the keyboard focus).
//
//   window visible=1 enabled=1 text=VRT-58 DSP Update Utility 1.4
//   control id=1000 class=ComboBox visible=1 enabled=1 focus=0 text=COM1
//
// Line breaks in texts are printed as \n. Exit status 1 when there is no
// such window.
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Text.h"
#include "platform/ResourceTypes.h"

#include <cstdio>
#include <string>

namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

std::string TextOf(HWND hwnd)
{
    // WM_GETTEXT answers for another process's controls too.
    wchar_t text[4096] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    std::string escaped;
    for (const char c : Utf8(text)) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c != '\r') {
            escaped += c;
        }
    }
    return escaped;
}

int Flag(bool value)
{
    return value ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: win32-window-probe TITLE\n");
        return 2;
    }
    const HWND window = FindWindowW(nullptr, Wide(argv[1]).c_str());
    if (window == nullptr) {
        std::printf("no window titled %s\n", argv[1]);
        return 1;
    }
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);

    std::printf("window visible=%d enabled=%d text=%s\n", Flag(IsWindowVisible(window)),
                Flag(IsWindowEnabled(window)), TextOf(window).c_str());
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, static_cast<int>(std::size(className)));
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        std::printf("control id=%d class=%s visible=%d enabled=%d focus=%d text=%s\n",
                    static_cast<short>(GetDlgCtrlID(child)), Utf8(className).c_str(),
                    Flag((static_cast<std::uint32_t>(style) & platform::WS_VISIBLE) != 0), Flag(IsWindowEnabled(child)),
                    Flag(thread.hwndFocus == child), TextOf(child).c_str());
    }
    return 0;
}
