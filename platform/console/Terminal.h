#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::console {

// The standard streams of a console program.
enum class Stream { In, Out, Err };

// What the console window system needs of the console: two streams to write
// to, one to read lines from, and whether each is an interactive terminal.
// Backends: StandardTerminal (the program's own streams) and, in tests, one
// in memory.
class Terminal {
public:
    virtual ~Terminal() = default;

    // Writes `text` to Stream::Out or Stream::Err, at once (unbuffered).
    virtual void Write(Stream stream, std::string_view text) = 0;

    // Whether `stream` is an interactive terminal (not a file, pipe or null
    // device).
    virtual bool IsTerminal(Stream stream) const = 0;

    // One line from standard input, without its line break. Nothing at the
    // end of the input, on a read error, or when a signal cut the read short.
    virtual std::optional<std::string> ReadLine() = 0;
};

}  // namespace platform::console
