#pragma once

#include "platform/Clock.h"

#include <stdexcept>

// Ctrl+C (and on Linux a hang-up or termination signal) only raises a flag;
// the program notices it at its next tick or pause and unwinds with an
// Interrupted exception, so that every port and window is closed by its
// owner on the way out. A port left open by an abrupt exit would keep its
// exclusive-use flag on a terminal that outlives the program.
namespace cli {

class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

// Routes the interrupt signals (Ctrl+C) to the flag. Once per program.
void InstallInterruptHandlers();

// Raises and lowers the flag (the handlers raise it; tests may too).
void RequestInterrupt();
void ClearInterrupt();
bool InterruptRequested();

// Throws Interrupted once the flag is up.
void CheckInterrupt();

// A clock that checks the flag at every tick and around every pause, so a
// handler that waits on the clock ends with Interrupted at its next step.
class InterruptibleClock final : public platform::Clock {
public:
    explicit InterruptibleClock(platform::Clock& inner) : m_inner(inner) {}

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t ms) override;

private:
    platform::Clock& m_inner;
};

}  // namespace cli
