#include "VirtualClock.h"

namespace platform::fake {

VirtualClock::VirtualClock(std::uint32_t startTick) : m_start(startTick) {}

std::uint32_t VirtualClock::TickCount()
{
    const auto tick = static_cast<std::uint32_t>(m_start + m_now);
    if (m_costPerTick != 0) {
        Advance(m_costPerTick);
    }
    return tick;
}

void VirtualClock::Sleep(std::uint32_t ms)
{
    Advance(ms);
}

void VirtualClock::Advance(std::uint64_t ms)
{
    m_now += ms;
    if (m_listener) {
        m_listener(m_now);
    }
}

}  // namespace platform::fake
