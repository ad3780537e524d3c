#pragma once

#include <cstdarg>
#include <functional>
#include <string>

// The sink for the serial port's diagnostic lines: a printf-style format and
// its arguments. The product discards every line.
void SerialTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lets a test see the lines that would otherwise be discarded, formatted.
// Pass an empty function to stop observing.
void SetSerialTraceObserver(std::function<void(const std::string&)> observer);
