#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <stdexcept>

namespace testing_support {

// A clock whose sleeps of exactly `failingSleepMs` throw (the engine's
// 200 ms settling pause by default); it tells the time of `inner`.
class ThrowingClock final : public platform::Clock {
public:
    explicit ThrowingClock(platform::Clock& inner, std::uint32_t failingSleepMs = 200)
        : m_inner(inner), m_failingSleepMs(failingSleepMs)
    {
    }
    std::uint32_t TickCount() override { return m_inner.TickCount(); }
    void Sleep(std::uint32_t ms) override
    {
        if (ms == m_failingSleepMs) {
            throw std::runtime_error("interrupted");
        }
        m_inner.Sleep(ms);
    }

private:
    platform::Clock& m_inner;
    std::uint32_t m_failingSleepMs;
};

}  // namespace testing_support
