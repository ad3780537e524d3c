#pragma once

#include "Terminal.h"

namespace platform::console {

// The program's standard input, output and error.
class StandardTerminal final : public Terminal {
public:
    void Write(Stream stream, std::string_view text) override;
    bool IsTerminal(Stream stream) const override;
    std::optional<std::string> ReadLine() override;
};

}  // namespace platform::console
