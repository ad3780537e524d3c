#pragma once

#include "platform/fake/FakeCommDevice.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <span>
#include <vector>

namespace testing_support {

// A far end whose answers a test writes down exactly: the cable echoes each
// byte the PC sends (or not, or wrongly), and `onReceive` schedules what the
// scanner says back and when.
class ScriptedPeer final : public platform::fake::LinePeer {
public:
    enum class Echo { Normal, None, Wrong };

    void FromPc(std::span<const std::uint8_t> bytes, std::uint64_t now) override;
    std::vector<std::uint8_t> ToPc(std::uint64_t now) override;
    bool HungUp(std::uint64_t now) const override { return now >= hangUpAt; }
    std::uint64_t NextEvent(std::uint64_t now) const override;

    // Queues bytes to reach the PC at `at`.
    void Send(std::vector<std::uint8_t> bytes, std::uint64_t at);

    Echo echo = Echo::Normal;
    std::uint64_t hangUpAt = UINT64_MAX;

    // Called for every write the PC makes, after its echo has been queued.
    std::function<void(ScriptedPeer&, std::span<const std::uint8_t>, std::uint64_t)> onReceive;

    // Every write the PC made: its bytes and the time it reached the line.
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        std::uint64_t at;
    };
    std::vector<Chunk> chunks;

    // All bytes the PC wrote, in order.
    std::vector<std::uint8_t> Written() const;

private:
    std::multimap<std::uint64_t, std::vector<std::uint8_t>> m_pending;
};

}  // namespace testing_support
