// bench-connection-test [RUNS] [--com N]: presses TEST RUNS times (default 7)
// and prints each press's wall time over the protocol's floor, then
// "ratio <median>". The scanner is the model served by this process on a
// pseudo-terminal, or with --com the one attached as COM N (vrt58-sim
// --version-byte 0x14 --factory; bench/run-windows runs it so under Wine).
//
// The floor: the 100 ms pause before the exchange, the engine's 200 ms
// settling pause, the line time of every byte that must cross the wire one
// after the other (ENQ, ACK, 'V', ACK, the 5-byte reply, the PC's ACK) and
// the scanner's reply latency before each of its two acknowledgements.
#include "BenchScanner.h"

#include "resources/ResourceIds.h"
#include "support/RealTimeApp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kCom = 9;
constexpr double kMsPerByte = 10'000.0 / 19'200.0;

}  // namespace

int main(int argc, char** argv)
{
    int runs = 7;
    std::optional<int> com;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--com" && i + 1 < argc) {
            com = std::atoi(argv[++i]);
        } else {
            runs = std::max(1, std::atoi(argv[i]));
        }
    }

    sim::ScannerConfig config;  // vrt58-sim's defaults, latency included
    config.version = 0x14;      // the same as the image: the user is asked, and says No,
    config.factory = true;      // so TEST stays enabled for the next press
    BenchScanner scanner(config, kCom, com);
    if (!scanner.Started()) {
        std::fprintf(stderr, "bench-connection-test: cannot serve the scanner: %s\n", scanner.Error().c_str());
        return 1;
    }
    const double floorMs = 100 + 200 + 10 * kMsPerByte + 2.0 * config.latencyMs;
    std::printf("TEST against %s, %d presses\n", scanner.Where().c_str(), runs);
    std::printf("floor: 100 ms pause + 200 ms settling + 10 bytes on the line + 2 x %u ms latency = %.1f ms\n",
                config.latencyMs, floorMs);

    testing_support::RealTimeApp app;
    CUpdaterDlg dlg;
    std::vector<double> ratios;
    bool failed = false;
    app.Run(dlg, [&](platform::testwin::TestDialog& d) {
        d.Select(IDC_PORT_LIST, scanner.Com() - 1);
        for (int i = 0; i < runs && !failed; ++i) {
            const std::size_t boxes = app.windows.MessageBoxes().size();
            app.windows.QueueAnswer(platform::IDNO);
            const auto start = std::chrono::steady_clock::now();
            d.Click(IDC_TEST);
            const auto took = std::chrono::steady_clock::now() - start;
            const double ms = std::chrono::duration<double, std::milli>(took).count();
            const auto& all = app.windows.MessageBoxes();
            if (all.size() != boxes + 1 || (all.back().style & platform::MB_ICONQUESTION) == 0) {
                std::fprintf(stderr, "press %d: the test did not reach the scanner's version:\n%s\n", i + 1,
                             all.size() > boxes ? all.back().text.c_str() : "(no box)");
                failed = true;
                break;
            }
            ratios.push_back(ms / floorMs);
            std::printf("press %d: %.1f ms  ratio %.4f\n", i + 1, ms, ms / floorMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the user reads the box
        }
    });
    if (failed || ratios.empty()) {
        return 1;
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio %.4f\n", ratios[ratios.size() / 2]);
    return 0;
}
