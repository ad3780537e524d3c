#include "Interrupt.h"

#include <csignal>

namespace cli {

namespace {

void OnSignal(int)
{
    RequestInterrupt();
}

}  // namespace

void InstallInterruptHandlers()
{
    // Without SA_RESTART, so that a read waiting for the user's answer
    // returns at once.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaction(signal, &action, nullptr);
    }
    // A reader that went away (a closed pipe) is no reason to die with the
    // port open: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace cli
