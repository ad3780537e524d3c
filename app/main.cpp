// The program: the real window system, then the application object. It
// takes no arguments, reads no settings and writes no files; however the
// dialog closes, the program ends with status 0.
#include "AppText.h"
#include "CUpdaterApp.h"
#include "platform/wx/WxWindowSystem.h"

#include <cstdio>

int main(int argc, char** argv)
{
    std::fputs(PlaceholderNotice().c_str(), stderr);
    platform::wx::WxWindowSystem windows(argc, argv);
    if (!windows.Started()) {
        std::fprintf(stderr, "VRT58DSPUpdater: cannot open the display\n");
        return 1;
    }
    platform::ScopedWindowSystem use(windows);
    theApp.InitInstance();
    return 0;
}
