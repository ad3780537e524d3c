#pragma once

#include <string>

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The program's name: the executable's file name without its extension.
// Every message box carries it as its caption.
const std::string& ApplicationName();

struct FirmwareImage;

// What UPDATE shows instead of sending when the build carries the tree's
// placeholder and the port does not lead to the simulator.
std::string PlaceholderRefusal(const FirmwareImage& image);

// The line a program built with the placeholder prints once at start (with
// a line break); empty for a build that carries the real image.
std::string PlaceholderNotice();
