#pragma once

#include "PortChoice.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The command line of vrt58-dsp-update, parsed.
struct CliArguments {
    enum class Command { Test, Update, ListPorts, Help, Version };

    Command command = Command::Help;
    std::optional<PortChoice> port;
    bool yes = false;
    bool skipTest = false;

    // Parses the arguments after the program's name; on a usage error,
    // nothing, with `error` saying what is wrong.
    static std::optional<CliArguments> Parse(const std::vector<std::string>& args, std::string& error);
};

}  // namespace cli
