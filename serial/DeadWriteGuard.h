#pragma once

#include <cstdint>

// Tells when writes that send nothing have gone on long enough to give up:
// a port whose cable was pulled or whose device went away takes nothing for
// ever, and a loop that only retries would never end. A run of consecutive
// empty writes ends the wait once more than `limitMs` have passed since the
// first of them began; any write that sends something starts over.
class DeadWriteGuard {
public:
    explicit DeadWriteGuard(std::uint32_t limitMs) : m_limitMs(limitMs) {}

    // Reports one write: `written` bytes, begun at tick `startTick`.
    void Wrote(std::int32_t written, std::uint32_t startTick)
    {
        if (written > 0) {
            m_empty = false;
        } else if (!m_empty) {
            m_empty = true;
            m_since = startTick;
        }
    }

    // True once the empty writes have lasted longer than the limit at `now`.
    bool GaveUp(std::uint32_t now) const { return m_empty && now - m_since > m_limitMs; }

    void Reset() { m_empty = false; }

private:
    std::uint32_t m_limitMs;
    bool m_empty = false;
    std::uint32_t m_since = 0;
};
