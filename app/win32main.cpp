// The program on Windows: the Win32 window system, then the application
// object. It takes no arguments, reads no settings and writes no files;
// however the dialog closes, the program ends with status 0.
#include "CUpdaterApp.h"
#include "platform/win32/Win32WindowSystem.h"

#include "platform/win32/Win32Api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    platform::win32::Win32WindowSystem windows;
    platform::ScopedWindowSystem use(windows);
    theApp.InitInstance();
    return 0;
}
