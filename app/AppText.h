#pragma once

#include <string>

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The program's name: the executable's file name without its extension.
// Every message box carries it as its caption.
const std::string& ApplicationName();
