#include "Interrupt.h"

#include <atomic>

namespace cli {

namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> g_interrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestInterrupt()
{
    g_interrupt.store(true);
}

void ClearInterrupt()
{
    g_interrupt.store(false);
}

bool InterruptRequested()
{
    return g_interrupt.load();
}

void CheckInterrupt()
{
    if (InterruptRequested()) {
        throw Interrupted();
    }
}

std::uint32_t InterruptibleClock::TickCount()
{
    CheckInterrupt();
    return m_inner.TickCount();
}

void InterruptibleClock::Sleep(std::uint32_t ms)
{
    CheckInterrupt();
    m_inner.Sleep(ms);
    CheckInterrupt();
}

}  // namespace cli
