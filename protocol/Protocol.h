#pragma once

#include <cstdint>
#include <span>

// Control bytes of the scanner's data protocol, used in both directions.
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t ENQ = 0x05;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t BEL = 0x07;
inline constexpr std::uint8_t NAK = 0x15;

// Low 8 bits of the sum of the bytes: a frame's checksum over every byte
// after STX up to and including ETX.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// A received frame of bytes.size() bytes is good when it starts with STX,
// has ETX second to last and ends with the checksum of the bytes between.
bool FrameIsGood(std::span<const std::uint8_t> frame);

// A VersionByte shows as major.minor: bits 4-6 and bits 0-3; bit 7 never shows.
inline constexpr int VersionMajor(unsigned v) { return static_cast<int>((v >> 4) & 7); }
inline constexpr int VersionMinor(unsigned v) { return static_cast<int>(v & 15); }
