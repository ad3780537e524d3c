#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace sim {

// SHA-256, fed in pieces, so the simulator can name a received image by the
// same digest that sha256sum prints for the payload file.
class Sha256 {
public:
    Sha256();

    void Update(std::span<const std::uint8_t> bytes);

    // The digest of everything fed so far; the hasher can go on afterwards.
    std::array<std::uint8_t, 32> Digest() const;
    std::string Hex() const;

    static std::string HexOf(std::span<const std::uint8_t> bytes);

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;  // bytes fed
};

}  // namespace sim
