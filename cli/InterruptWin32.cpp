#include "Interrupt.h"

#include "platform/win32/Win32Api.h"

namespace cli {

namespace {

// Runs on a thread of its own: it only raises the flag, and says the event
// is handled, so the process is not ended under the port.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        RequestInterrupt();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void InstallInterruptHandlers()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace cli
