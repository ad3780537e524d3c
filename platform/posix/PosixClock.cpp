#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class SteadyClock final : public Clock {
public:
    std::uint32_t TickCount() override
    {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        return static_cast<std::uint32_t>(ms);
    }

    void Sleep(std::uint32_t ms) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

}  // namespace

Clock& RealClock()
{
    static SteadyClock clock;
    return clock;
}

}  // namespace platform
