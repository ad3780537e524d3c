#include "platform/Clock.h"

#include "Win32Api.h"

#include <timeapi.h>

namespace platform {

namespace {

// The multimedia timer: a 32-bit millisecond counter that wraps, like the
// tick count, but with a resolution of 1 ms once the period is set; the
// tick count itself moves in steps of about 16 ms, which would let a paced
// write or a pause overshoot by that much. The same period makes Sleep
// accurate to the millisecond.
class Win32Clock final : public Clock {
public:
    Win32Clock() { m_period = timeBeginPeriod(1) == TIMERR_NOERROR; }
    ~Win32Clock() override
    {
        if (m_period) {
            timeEndPeriod(1);
        }
    }
    Win32Clock(const Win32Clock&) = delete;
    Win32Clock& operator=(const Win32Clock&) = delete;

    std::uint32_t TickCount() override { return timeGetTime(); }

    void Sleep(std::uint32_t ms) override { ::Sleep(ms); }

private:
    bool m_period = false;
};

}  // namespace

Clock& RealClock()
{
    static Win32Clock clock;
    return clock;
}

}  // namespace platform
