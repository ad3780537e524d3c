// vrt58-sim: the programming cable and a VRT-58 scanner on a pseudo-terminal,
// linked as COM<N> for the update utility.

#include "PtyServer.h"
#include "ScannerModel.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitMismatch = 3;

sim::PtyServer* g_server = nullptr;

void OnSignal(int)
{
    if (g_server != nullptr) {
        g_server->RequestStop();
    }
}

const char kHelp[] =
    "Usage: vrt58-sim [OPTION]...\n"
    "Serves a simulated VRT-58 scanner and its programming cable on a\n"
    "pseudo-terminal linked as comN in the port map folder\n"
    "${XDG_CONFIG_HOME:-$HOME/.config}/vrt58-dsp-updater/ports/, until stopped\n"
    "with Ctrl+C or SIGTERM; then removes the link and prints what it received.\n"
    "\n"
    "  -h, --help             show this text and exit\n"
    "  --port N               link as comN, N = 1..256 (default 1)\n"
    "  --force                replace a comN entry that is not a link, or a link\n"
    "                         to another device that exists\n"
    "  --mode MODE            normal: answers the packet protocol (default)\n"
    "                         update: DSP update mode: sends 'U', takes the image\n"
    "                         auto: normal until the PC closes the port after a\n"
    "                               completed test, then update\n"
    "  --version-byte 0xNN    version the scanner reports (default 0x13)\n"
    "  --factory              report the factory version (bit 7 of the version)\n"
    "  --latency MS           answer delay after a request (default 2)\n"
    "  --sync-delay MS        first 'U' this long after the port opens (default 200)\n"
    "  --expect FILE          compare the received image with FILE\n"
    "  --exit-after-update    stop once an image is complete and the PC has closed\n"
    "                         the port or gone quiet for a second; with --expect,\n"
    "                         exit status 3 when the image does not match\n"
    "  --hangup-after N       vanish after N bytes in: close the pseudo-terminal,\n"
    "                         remove the link and end\n"
    "  --quiet                print only the start line and the summary\n"
    "  --target KIND          answer faults hit only enq, version, read, write,\n"
    "                         data or erase requests (default: all)\n"
    "  --stray-byte 0xNN      the byte the stray fault sends (default 0x00)\n"
    "  --piece-gap MS         pause inside a split reply (default 50)\n"
    "  --fault NAME[=N]       switch on a fault; counted faults strike N times\n"
    "                         (default: every time):\n"
    "       silence[=N]       no answer at all (the cable still echoes)\n"
    "       nak[=N]           NAK instead of ACK\n"
    "       bel[=N]           BEL instead of ACK\n"
    "       stray[=N]         a stray byte instead of ACK (see --stray-byte)\n"
    "       bad-checksum[=N]  reply frame with a wrong checksum\n"
    "       split[=K]         reply frame in two pieces, K bytes first (default 2),\n"
    "                         --piece-gap apart\n"
    "       slow-ack=MS       acknowledgement MS late\n"
    "       slow-reply=MS     reply frame MS after the ACK\n"
    "       no-echo           the cable does not echo\n"
    "       wrong-echo        the cable echoes every byte with bit 0 flipped\n"
    "       sync-noise[=N]    N junk bytes before each 'U' (default 3)\n"
    "       late-sync         first 'U' 2500 ms after the port opens\n"
    "       no-sync           never send 'U'\n"
    "       babble[=N]        flood N junk bytes from the first byte in (default 5000)\n"
    "\n"
    "Exit status: 0 after a clean stop, 2 on bad usage or when the port cannot\n"
    "be served, 3 as described under --exit-after-update.\n";

// Parses an unsigned number (decimal or 0x hexadecimal) within [min, max].
std::optional<long long> Number(const std::string& text, long long min, long long max)
{
    if (text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || value < static_cast<unsigned long long>(min) ||
        value > static_cast<unsigned long long>(max)) {
        return std::nullopt;
    }
    return static_cast<long long>(value);
}

int Usage(const std::string& message)
{
    std::fprintf(stderr, "vrt58-sim: %s\nTry 'vrt58-sim --help'.\n", message.c_str());
    return kExitUsage;
}

struct Arguments {
    sim::ScannerConfig config;
    sim::PtyServer::Options server;
    std::optional<std::vector<std::uint8_t>> expected;
    bool quiet = false;
};

// Applies one --fault; false when the name or its value is not understood.
bool ApplyFault(const std::string& faultText, sim::ScannerConfig& config)
{
    const auto eq = faultText.find('=');
    const std::string name = faultText.substr(0, eq);
    const std::optional<std::string> value =
        eq == std::string::npos ? std::nullopt : std::optional<std::string>(faultText.substr(eq + 1));
    sim::ScannerFaults& f = config.faults;
    const auto count = [&](int& field, int fallback) {
        if (!value) {
            field = fallback;
            return true;
        }
        const auto n = Number(*value, 1, 1'000'000);
        if (!n) {
            return false;
        }
        field = static_cast<int>(*n);
        return true;
    };
    const auto ms = [&](std::uint32_t& field) {
        const auto n = value ? Number(*value, 0, 3'600'000) : std::nullopt;
        if (!n) {
            return false;
        }
        field = static_cast<std::uint32_t>(*n);
        return true;
    };
    const auto flag = [&](bool& field) {
        field = true;
        return !value.has_value();
    };
    constexpr int always = sim::ScannerFaults::kAlways;
    if (name == "silence") return count(f.silence, always);
    if (name == "nak") return count(f.nak, always);
    if (name == "bel") return count(f.bel, always);
    if (name == "stray") return count(f.stray, always);
    if (name == "bad-checksum") return count(f.badChecksum, always);
    if (name == "split") return count(f.splitAt, 2);
    if (name == "slow-ack") return ms(f.slowAckMs);
    if (name == "slow-reply") return ms(f.slowReplyMs);
    if (name == "no-echo") return flag(f.noEcho);
    if (name == "wrong-echo") return flag(f.wrongEcho);
    if (name == "sync-noise") return count(f.syncNoise, 3);
    if (name == "no-sync") return flag(f.noSync);
    if (name == "babble") return count(f.babble, 5000);
    if (name == "late-sync") {
        config.syncDelayMs = 2500;
        return !value.has_value();
    }
    return false;
}

// Fills `args`; returns an exit status when the program should end at once.
std::optional<int> Parse(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto needValue = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        const auto numeric = [&](long long min, long long max) -> std::optional<long long> {
            const auto text = needValue();
            return text ? Number(*text, min, max) : std::nullopt;
        };

        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--port") {
            const auto n = numeric(1, 256);
            if (!n) return Usage("--port needs a number from 1 to 256");
            args.server.port = static_cast<int>(*n);
        } else if (option == "--force") {
            args.server.force = true;
        } else if (option == "--mode") {
            const auto mode = needValue();
            if (mode == "normal") {
                args.config.mode = sim::ScannerMode::Normal;
            } else if (mode == "update") {
                args.config.mode = sim::ScannerMode::Update;
            } else if (mode == "auto") {
                args.config.mode = sim::ScannerMode::Auto;
            } else {
                return Usage("--mode needs normal, update or auto");
            }
        } else if (option == "--version-byte") {
            const auto n = numeric(0, 0xFF);
            if (!n) return Usage("--version-byte needs a byte such as 0x14");
            args.config.version = static_cast<std::uint8_t>(*n);
        } else if (option == "--factory") {
            args.config.factory = true;
        } else if (option == "--latency") {
            const auto n = numeric(0, 60'000);
            if (!n) return Usage("--latency needs milliseconds");
            args.config.latencyMs = static_cast<std::uint32_t>(*n);
        } else if (option == "--sync-delay") {
            const auto n = numeric(0, 3'600'000);
            if (!n) return Usage("--sync-delay needs milliseconds");
            args.config.syncDelayMs = static_cast<std::uint32_t>(*n);
        } else if (option == "--expect") {
            const auto path = needValue();
            if (!path) return Usage("--expect needs a file");
            std::ifstream in(*path, std::ios::binary);
            if (!in) return Usage("cannot read " + *path);
            args.expected.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } else if (option == "--exit-after-update") {
            args.server.exitAfterUpdate = true;
        } else if (option == "--hangup-after") {
            const auto n = numeric(0, 1LL << 40);
            if (!n) return Usage("--hangup-after needs a byte count");
            args.config.faults.hangupAfter = *n;
        } else if (option == "--quiet") {
            args.quiet = true;
        } else if (option == "--target") {
            const auto kind = needValue();
            if (kind == "enq") {
                args.config.faults.target = 0x05;
            } else if (kind == "version") {
                args.config.faults.target = 'V';
            } else if (kind == "read") {
                args.config.faults.target = 'R';
            } else if (kind == "write") {
                args.config.faults.target = 'W';
            } else if (kind == "data") {
                args.config.faults.target = 'D';
            } else if (kind == "erase") {
                args.config.faults.target = 'E';
            } else {
                return Usage("--target needs enq, version, read, write, data or erase");
            }
        } else if (option == "--stray-byte") {
            const auto n = numeric(0, 0xFF);
            if (!n) return Usage("--stray-byte needs a byte such as 0x00");
            args.config.faults.strayByte = static_cast<std::uint8_t>(*n);
        } else if (option == "--piece-gap") {
            const auto n = numeric(0, 60'000);
            if (!n) return Usage("--piece-gap needs milliseconds");
            args.config.faults.pieceGapMs = static_cast<std::uint32_t>(*n);
        } else if (option == "--fault") {
            const auto faultText = needValue();
            if (!faultText || !ApplyFault(*faultText, args.config)) {
                return Usage("unknown fault or value: " + faultText.value_or(""));
            }
        } else {
            return Usage("unknown option " + option);
        }
    }
    return std::nullopt;
}

const char* ModeName(sim::ScannerMode mode)
{
    switch (mode) {
    case sim::ScannerMode::Normal:
        return "normal";
    case sim::ScannerMode::Update:
        return "update";
    case sim::ScannerMode::Auto:
        return "auto";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    Arguments args;
    if (const auto status = Parse(argc, argv, args)) {
        return *status;
    }

    sim::ScannerModel model(args.config);
    if (args.expected) {
        model.SetExpectedImage(*args.expected);
    }
    if (!args.quiet) {
        model.OnEvent([](std::uint64_t now, const std::string& text) {
            std::printf("%6llu.%03llu %s\n", static_cast<unsigned long long>(now / 1000),
                        static_cast<unsigned long long>(now % 1000), text.c_str());
        });
    }

    sim::PtyServer server(model);
    // Handlers first: a stop that arrives while the link is being made
    // still ends in Serve's clean-up, not with a link left behind.
    g_server = &server;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!server.Start(args.server, error)) {
        g_server = nullptr;
        std::fprintf(stderr, "vrt58-sim: %s\n", error.c_str());
        return kExitUsage;
    }

    std::printf("vrt58-sim: COM%d is %s (link %s), mode %s, version byte 0x%02X\n", args.server.port,
                server.SlavePath().c_str(), server.LinkPath().c_str(), ModeName(args.config.mode),
                model.VersionByte());

    const auto reason = server.Serve();
    g_server = nullptr;

    const char* why = "stopped";
    switch (reason) {
    case sim::PtyServer::StopReason::Requested:
        break;
    case sim::PtyServer::StopReason::HungUp:
        why = "hung up";
        break;
    case sim::PtyServer::StopReason::ImageDone:
        why = "image received";
        break;
    case sim::PtyServer::StopReason::Failed:
        why = "failed";
        std::fprintf(stderr, "vrt58-sim: %s\n", server.Error().c_str());
        break;
    }
    std::printf("vrt58-sim: %s\n", why);
    for (const auto& line : model.Summary()) {
        std::printf("summary: %s\n", line.c_str());
    }
    std::fflush(stdout);

    if (reason == sim::PtyServer::StopReason::Failed) {
        return kExitUsage;
    }
    if (reason == sim::PtyServer::StopReason::ImageDone && args.expected && model.FirstDifference(*args.expected)) {
        return kExitMismatch;
    }
    return 0;
}
