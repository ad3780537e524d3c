#pragma once

#include "platform/console/Terminal.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace testing_support {

// A console in memory: what the program writes to each stream, the lines
// it will read (then the end of the input), and which streams pass for a
// terminal.
struct MemoryTerminal final : platform::console::Terminal {
    void Write(platform::console::Stream stream, std::string_view text) override
    {
        (stream == platform::console::Stream::Err ? err : out) += text;
        if (onWrite) {
            onWrite(stream, text);
        }
    }

    bool IsTerminal(platform::console::Stream stream) const override
    {
        return stream == platform::console::Stream::In    ? inputIsTerminal
               : stream == platform::console::Stream::Out ? outputIsTerminal
                                                           : errorIsTerminal;
    }

    std::optional<std::string> ReadLine() override
    {
        ++reads;
        if (input.empty()) {
            return std::nullopt;
        }
        std::string line = input.front();
        input.pop_front();
        return line;
    }

    std::string out;
    std::string err;
    std::deque<std::string> input;
    int reads = 0;
    bool inputIsTerminal = false;
    bool outputIsTerminal = false;
    bool errorIsTerminal = false;
    std::function<void(platform::console::Stream, std::string_view)> onWrite;
};

}  // namespace testing_support
