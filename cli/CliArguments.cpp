#include "CliArguments.h"

#include <algorithm>

namespace cli {

std::optional<CliArguments> CliArguments::Parse(const std::vector<std::string>& args, std::string& error)
{
    CliArguments parsed;
    // --help and --version win wherever they stand.
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            parsed.command = Command::Help;
            return parsed;
        }
    }
    if (std::ranges::find(args, "--version") != args.end()) {
        parsed.command = Command::Version;
        return parsed;
    }
    if (args.empty()) {
        error = "no command given (test, update or list-ports)";
        return std::nullopt;
    }

    const std::string& command = args[0];
    if (command == "test") {
        parsed.command = Command::Test;
    } else if (command == "update") {
        parsed.command = Command::Update;
    } else if (command == "list-ports") {
        parsed.command = Command::ListPorts;
    } else {
        error = command.starts_with("-") ? "the command comes first: test, update or list-ports"
                                         : "unknown command '" + command + "'";
        return std::nullopt;
    }

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (parsed.command == Command::ListPorts) {
            error = "list-ports takes no options";
            return std::nullopt;
        }
        if (arg == "--port" || arg.starts_with("--port=")) {
            std::string value;
            if (arg == "--port") {
                if (i + 1 >= args.size()) {
                    error = "--port needs a port: COM1 to COM256 or a device path";
                    return std::nullopt;
                }
                value = args[++i];
            } else {
                value = arg.substr(7);
            }
            parsed.port = PortChoice::Parse(value);
            if (!parsed.port) {
                error = "--port takes COM1 to COM256 or a device path, not '" + value + "'";
                return std::nullopt;
            }
        } else if (arg == "--yes") {
            parsed.yes = true;
        } else if (arg == "--skip-test" && parsed.command == Command::Update) {
            parsed.skipTest = true;
        } else if (arg == "--skip-test") {
            error = "--skip-test belongs to update";
            return std::nullopt;
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    if (parsed.command != Command::ListPorts && !parsed.port) {
        error = command + " needs --port: COM1 to COM256 or a device path";
        return std::nullopt;
    }
    return parsed;
}

}  // namespace cli
