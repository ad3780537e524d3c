#pragma once

#include "../Clock.h"

#include <cstdint>
#include <functional>

namespace platform::fake {

// A clock that only moves when somebody sleeps: Sleep advances virtual time
// at once. Time is kept as a 64-bit count of milliseconds since the clock was
// made; TickCount reports it offset by the start value and truncated to 32
// bits, so a test can start just below 2^32 to prove wrap-around handling.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(std::uint32_t startTick = 0);

    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t ms) override;

    // Milliseconds of virtual time since construction.
    std::uint64_t Now() const { return m_now; }

    // Moves time forward without a sleep (a test's "meanwhile").
    void Advance(std::uint64_t ms);

    // Called after every change of time, with the new Now().
    void OnAdvance(std::function<void(std::uint64_t)> listener) { m_listener = std::move(listener); }

    // Every TickCount() call can also cost time, for loops that poll without
    // sleeping (default 0: reading the clock is free).
    void SetCostPerTick(std::uint32_t ms) { m_costPerTick = ms; }

private:
    std::uint32_t m_start;
    std::uint64_t m_now = 0;
    std::uint32_t m_costPerTick = 0;
    std::function<void(std::uint64_t)> m_listener;
};

}  // namespace platform::fake
