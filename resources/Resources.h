#pragma once

#include "ResourceIds.h"
#include "platform/ResourceTypes.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The program's resources as constant data, looked up by identifier the way
// the program's code loads them. Missing resources are not errors: the
// lookups answer null or empty and the caller decides.
namespace resources {

// The dialog template `id`, or null.
const platform::DialogTemplate* FindTemplate(int id);

// String `id` of the string table, or "" when there is none.
std::string_view LoadString(int id);

// Accelerator table `id`; empty when there is none.
std::span<const platform::AcceleratorEntry> FindAccelerators(int id);

// Icon `id`, or null.
const platform::IconResource* FindIcon(int id);

// The program's version resource.
struct VersionInfo {
    std::array<std::uint16_t, 4> fileVersion;
    std::array<std::uint16_t, 4> productVersion;
    std::string_view companyName;
    std::string_view fileDescription;
    std::string_view internalName;
    std::string_view legalCopyright;
    std::string_view originalFilename;
    std::string_view productName;
    std::uint16_t language;  // 0x0409, U.S. English
    std::uint16_t codePage;  // 0x04B0, Unicode
};

const VersionInfo& VersionResource();

}  // namespace resources
