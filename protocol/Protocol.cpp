#include "Protocol.h"

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

bool FrameIsGood(std::span<const std::uint8_t> frame)
{
    const std::size_t n = frame.size();
    if (n < 3) {
        return false;
    }
    return frame[0] == STX && frame[n - 2] == ETX && frame[n - 1] == FrameChecksum(frame.subspan(1, n - 2));
}
