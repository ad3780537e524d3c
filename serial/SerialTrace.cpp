#include "SerialTrace.h"

#include <cstdio>
#include <utility>

namespace {
std::function<void(const std::string&)>& Observer()
{
    static std::function<void(const std::string&)> observer;
    return observer;
}
}  // namespace

void SerialTrace(const char* format, ...)
{
    auto& observer = Observer();
    if (!observer) {
        return;
    }
    va_list args;
    va_start(args, format);
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    observer(line);
}

void SetSerialTraceObserver(std::function<void(const std::string&)> observer)
{
    Observer() = std::move(observer);
}
