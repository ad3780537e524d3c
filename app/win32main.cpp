// The program on Windows: the Win32 window system, then the application
// object. It takes no arguments, reads no settings and writes no files;
// however the dialog closes, the program ends with status 0.
#include "AppText.h"
#include "CUpdaterApp.h"
#include "platform/win32/Win32WindowSystem.h"

#include "platform/win32/Win32Api.h"

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::fputs(PlaceholderNotice().c_str(), stderr);
    platform::win32::Win32WindowSystem windows;
    platform::ScopedWindowSystem use(windows);
    theApp.InitInstance();
    return 0;
}
