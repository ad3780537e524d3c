#include "CommandLine.h"

#include "CliArguments.h"
#include "CliSession.h"
#include "ComPorts.h"
#include "ExitStatus.h"
#include "Interrupt.h"
#include "PortChoice.h"

#include "app/AppText.h"
#include "firmware/FirmwareImage.h"
#include "platform/Services.h"
#include "protocol/Protocol.h"
#include "resources/Resources.h"

#include <cstdio>

namespace cli {

using platform::console::Stream;
using platform::console::Terminal;

namespace {

constexpr const char* PROGRAM = "vrt58-dsp-update";

std::string DspVersion()
{
    return Format("%d.%d", VersionMajor(g_firmwareImage.version), VersionMinor(g_firmwareImage.version));
}

int Usage(Terminal& terminal, const std::string& message)
{
    terminal.Write(Stream::Err, Format("%s: %s\nTry '%s --help'.\n", PROGRAM, message.c_str(), PROGRAM));
    return EXIT_USAGE;
}

int ListPorts(Terminal& terminal)
{
    const std::vector<ComPort> ports = ComPortsOfThisMachine();
    std::string out;
    if (ports.empty()) {
        out += "No COM number opens a device on this machine.\n";
    }
    for (const ComPort& port : ports) {
        out += Format("%-7s %-24s %s\n", ("COM" + std::to_string(port.number)).c_str(),
                      port.device.empty() ? "(no device)" : port.device.c_str(), port.why.c_str());
    }
    out += '\n';
    out += ComPortsNotes(ports);
    terminal.Write(Stream::Out, out);
    return EXIT_DONE;
}

}  // namespace

std::string HelpText()
{
    std::string text =
        "Usage: vrt58-dsp-update COMMAND [OPTION]...\n"
        "Installs DSP firmware " + DspVersion() + ", which it carries, into a VRT-58 scanner over the\n"
        "scanner's programming cable: the TEST and UPDATE of VRT58DSPUpdater at the\n"
        "console, with the same messages.\n"
        "\n"
        "Commands:\n"
        "  test --port PORT [--yes]\n"
        "      test the connection and read the scanner's DSP version (step 3):\n"
        "      whether the update may go ahead\n"
        "  update --port PORT [--yes] [--skip-test]\n"
        "      the test, a pause for steps 4 to 6, then the upload (step 7)\n"
        "  list-ports\n"
        "      what each COM number opens on this machine, and why\n"
        "\n"
        "Options:\n"
        "  --port PORT    COM1 to COM256, opened as VRT58DSPUpdater opens it, or a\n"
        "                 device path such as " + DevicePathExample() + "\n"
        "  --yes          answer Yes to every question: the start-up warning, and\n"
        "                 whether to upload to a scanner that has this version or a\n"
        "                 newer one\n"
        "  --skip-test    (update) send the image at once to a scanner that is\n"
        "                 already in its DSP update mode after an earlier test\n"
        "  -h, --help     show this text and exit\n"
        "  --version      show the version and exit\n"
        "\n"
        "Questions are asked at the terminal ([y/N]); when standard input is not a\n"
        "terminal they are answered No, unless --yes is given. test shows the start-up\n"
        "warning and goes on: it sends nothing that the scanner keeps. On a terminal,\n"
        "update waits for Enter after the test while you carry out steps 4 to 6;\n"
        "otherwise it goes on at once, so a script runs test, has steps 4 to 6 carried\n"
        "out, then runs update --skip-test. Ctrl+C stops at the next step and closes\n"
        "the port.\n"
        "\n"
        "Exit status:\n"
        "  0    the image was sent, or (test) the update may go ahead\n"
        "  1    failure; the message on standard error says what went wrong\n"
        "  2    usage error\n"
        "  3    declined: a question was answered No (or the input ended at the\n"
        "       pause); nothing was sent\n"
        "  130  interrupted (Ctrl+C); the port was closed\n";
    return text;
}

std::string VersionText()
{
    const auto& version = resources::VersionResource();
    std::string text = Format("%s %d.%d.%d.%d\n%.*s, command-line front end\nDSP firmware %s", PROGRAM,
                              version.productVersion[0], version.productVersion[1], version.productVersion[2],
                              version.productVersion[3], static_cast<int>(version.productName.size()),
                              version.productName.data(), DspVersion().c_str());
    if (g_firmwareIsPlaceholder) {
        text += ", a PLACEHOLDER image: it is sent only to the scanner\n"
                "simulator (see firmware/README.md of the source)";
    }
    return text + "\n";
}

int RunCommandLine(const std::vector<std::string>& args, Terminal& terminal)
{
    std::string error;
    const std::optional<CliArguments> parsed = CliArguments::Parse(args, error);
    if (!parsed) {
        return Usage(terminal, error);
    }
    switch (parsed->command) {
    case CliArguments::Command::Help:
        terminal.Write(Stream::Out, HelpText());
        return EXIT_DONE;
    case CliArguments::Command::Version:
        terminal.Write(Stream::Out, VersionText());
        return EXIT_DONE;
    case CliArguments::Command::ListPorts:
        return ListPorts(terminal);
    case CliArguments::Command::Test:
    case CliArguments::Command::Update:
        break;
    }

    terminal.Write(Stream::Err, PlaceholderNotice());
    PortChoice port = *parsed->port;
    if (!port.devicePath.empty()) {
        terminal.Write(Stream::Err,
                       Format("%s: %s\n", PROGRAM, port.NumberDevicePath(ComPortsOfThisMachine()).c_str()));
    }

    // The dialog's clock and ports, with Ctrl+C noticed at every tick and a
    // device path reached through its COM number.
    InterruptibleClock clock(platform::CurrentClock());
    ChosenPorts ports(platform::CurrentPorts(), port);
    platform::ScopedServices services(clock, ports);

    CliSession::Options options;
    options.update = parsed->command == CliArguments::Command::Update;
    options.comNumber = port.comNumber;
    options.yes = parsed->yes;
    options.skipTest = parsed->skipTest;
    return CliSession(terminal, options).Run();
}

}  // namespace cli
