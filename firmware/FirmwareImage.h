#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The one DSP image the utility installs, compiled into the program as a
// constant record (the build fills it from the asset in this folder). The
// header is trusted as built: nothing checks at run time that `length` fits
// the payload area. `length` is stored in host order; every supported host
// is little-endian, which is the record's byte order.
struct FirmwareImage {
    std::uint8_t version;    // a VersionByte: major in bits 4-6, minor in bits 0-3
    std::uint8_t reserved;   // 0; nothing reads it
    std::uint16_t length;    // image bytes at the start of payload
    std::uint8_t payload[65536];  // the image, then zeros; never sent past length
};

static_assert(std::is_standard_layout_v<FirmwareImage>);
static_assert(sizeof(FirmwareImage) == 65540);
static_assert(offsetof(FirmwareImage, reserved) == 1);
static_assert(offsetof(FirmwareImage, length) == 2);
static_assert(offsetof(FirmwareImage, payload) == 4);

// The single, read-only instance, alive for the whole run.
extern const FirmwareImage g_firmwareImage;

// True when the build embedded the tree's placeholder (firmware/README.md)
// instead of the scanner's DSP firmware. The build decides it from the
// asset's SHA-256 alone; no setting can mark the placeholder as real. Such
// a build sends its image only to the scanner simulator.
extern const bool g_firmwareIsPlaceholder;
