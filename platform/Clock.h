#pragma once

#include <cstdint>

namespace platform {

// The millisecond tick counter and the sleep that every wait in the product
// is measured with. The counter is 32 bits wide and wraps; callers take
// elapsed times as unsigned 32-bit differences.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin, modulo 2^32.
    virtual std::uint32_t TickCount() = 0;

    // Suspends the caller for `ms` milliseconds.
    virtual void Sleep(std::uint32_t ms) = 0;
};

// The steady clock of this machine, truncated to 32 bits.
Clock& RealClock();

}  // namespace platform
