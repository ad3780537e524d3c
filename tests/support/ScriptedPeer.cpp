#include "ScriptedPeer.h"

namespace testing_support {

void ScriptedPeer::FromPc(std::span<const std::uint8_t> bytes, std::uint64_t now)
{
    chunks.push_back({{bytes.begin(), bytes.end()}, now});
    if (echo == Echo::Normal) {
        Send({bytes.begin(), bytes.end()}, now);
    } else if (echo == Echo::Wrong) {
        std::vector<std::uint8_t> wrong(bytes.begin(), bytes.end());
        for (auto& b : wrong) {
            b ^= 0x40;
        }
        Send(std::move(wrong), now);
    }
    if (onReceive) {
        onReceive(*this, bytes, now);
    }
}

std::vector<std::uint8_t> ScriptedPeer::ToPc(std::uint64_t now)
{
    std::vector<std::uint8_t> out;
    auto end = m_pending.upper_bound(now);
    for (auto it = m_pending.begin(); it != end; ++it) {
        out.insert(out.end(), it->second.begin(), it->second.end());
    }
    m_pending.erase(m_pending.begin(), end);
    return out;
}

std::uint64_t ScriptedPeer::NextEvent(std::uint64_t now) const
{
    auto it = m_pending.upper_bound(now);
    return it == m_pending.end() ? UINT64_MAX : it->first;
}

void ScriptedPeer::Send(std::vector<std::uint8_t> bytes, std::uint64_t at)
{
    m_pending.emplace(at, std::move(bytes));
}

std::vector<std::uint8_t> ScriptedPeer::Written() const
{
    std::vector<std::uint8_t> all;
    for (const auto& c : chunks) {
        all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    }
    return all;
}

}  // namespace testing_support
