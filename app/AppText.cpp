#include "AppText.h"

#include "firmware/FirmwareImage.h"
#include "platform/System.h"
#include "protocol/Protocol.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        out.assign(buffer.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

const std::string& ApplicationName()
{
    static const std::string name = platform::ExecutableName("VRT58DSPUpdater");
    return name;
}

std::string PlaceholderRefusal(const FirmwareImage& image)
{
    return Format("This copy of the utility carries a placeholder instead of DSP firmware %d.%d, so it "
                  "cannot update a scanner. Nothing has been sent to the scanner.\n\n"
                  "How to build the utility with the real image is described in firmware/README.md "
                  "of its source.",
                  VersionMajor(image.version), VersionMinor(image.version));
}

std::string PlaceholderNotice()
{
    if (!g_firmwareIsPlaceholder) {
        return {};
    }
    return Format("%s: this build carries a placeholder instead of DSP firmware %d.%d and sends it only to "
                  "the scanner simulator; see firmware/README.md of its source.\n",
                  ApplicationName().c_str(), VersionMajor(g_firmwareImage.version),
                  VersionMinor(g_firmwareImage.version));
}
