#pragma once

// The Windows headers for the win32 backends. <windows.h> defines as macros
// many names that the platform seam declares as typed constants with the
// same values (MB_OK, IDOK, WS_POPUP, NOPARITY, ...) and turns a few of our
// method names into their A/W variants (CreateEvent, LoadString,
// MessageBox). Including the Windows headers only through this file, which
// takes those macros back out, lets a backend include the seam's headers in
// any order and use the seam's names; the Windows functions are called by
// their explicit names (CreateEventA, MessageBoxW, ...).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <commctrl.h>

#undef CreateEvent
#undef LoadString
#undef MessageBox

#undef MB_OK
#undef MB_YESNO
#undef MB_ICONQUESTION
#undef MB_ICONWARNING
#undef MB_ICONINFORMATION
#undef MB_DEFBUTTON1
#undef MB_DEFBUTTON2
#undef MB_TYPEMASK
#undef MB_ICONMASK
#undef MB_DEFMASK
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
#undef CB_ERR
#undef SC_CLOSE

#undef WS_POPUP
#undef WS_VISIBLE
#undef WS_CAPTION
#undef WS_SYSMENU
#undef WS_MINIMIZEBOX
#undef WS_MAXIMIZEBOX
#undef DS_SETFONT
#undef DS_MODALFRAME
#undef WS_EX_APPWINDOW

#undef FVIRTKEY
#undef FNOINVERT
#undef FSHIFT
#undef FCONTROL
#undef FALT
#undef VK_RETURN
#undef VK_ESCAPE
#undef VK_F1
#undef VK_F2
#undef VK_F3
#undef VK_F4
#undef VK_F5

#undef NOPARITY
#undef ODDPARITY
#undef EVENPARITY
#undef ONESTOPBIT
#undef TWOSTOPBITS
#undef DTR_CONTROL_DISABLE
#undef DTR_CONTROL_ENABLE
#undef RTS_CONTROL_DISABLE
#undef RTS_CONTROL_ENABLE
#undef ERROR_IO_PENDING
