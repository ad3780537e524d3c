// bench-upload [--cli] [--com N]: one real-time upload of the whole image.
// Prints its wall time over the protocol's floor and the process's CPU time
// over that wall time, ending with "ratio <x>" and "cpu <x>". The scanner is
// the model served by this process on a pseudo-terminal, or with --com the
// one attached as COM N (vrt58-sim --mode auto; bench/run-windows runs it so
// under Wine and checks the image it received).
//
// With --cli the upload is the command-line front end's: vrt58-dsp-update
// update --skip-test --yes, run in this process to a scanner already in
// update mode, its progress bar redrawn at every chunk as on a terminal and
// written to the null device. The time is the whole command's.
//
// The floor: the 100 ms pause, the wait until the scanner's 'U' has arrived,
// the header's line time and its 200 ms pause, then for every chunk its line
// time and the 100 ms pause after it.
#include "BenchScanner.h"
#include "CpuClock.h"

#include "cli/CommandLine.h"
#include "platform/console/Terminal.h"
#include "resources/ResourceIds.h"
#include "support/RealTimeApp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kCom = 10;
constexpr double kMsPerByte = 10'000.0 / 19'200.0;

// A terminal on every stream whose output goes to the null device, so the
// front end draws its bar as often as it ever does and pays for the writes.
class NullTerminal final : public platform::console::Terminal {
public:
    NullTerminal() : m_sink(std::fopen(NULL_DEVICE, "w")) {}
    ~NullTerminal() override
    {
        if (m_sink != nullptr) {
            std::fclose(m_sink);
        }
    }
    NullTerminal(const NullTerminal&) = delete;
    NullTerminal& operator=(const NullTerminal&) = delete;

    void Write(platform::console::Stream, std::string_view text) override
    {
        if (m_sink != nullptr) {
            std::fwrite(text.data(), 1, text.size(), m_sink);
            std::fflush(m_sink);
        }
    }
    bool IsTerminal(platform::console::Stream) const override { return true; }
    std::optional<std::string> ReadLine() override { return std::nullopt; }

private:
#ifdef _WIN32
    static constexpr const char* NULL_DEVICE = "NUL";
#else
    static constexpr const char* NULL_DEVICE = "/dev/null";
#endif
    std::FILE* m_sink;
};

}  // namespace

int main(int argc, char** argv)
{
    using SteadyClock = std::chrono::steady_clock;
    std::optional<int> com;
    bool cli = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--com" && i + 1 < argc) {
            com = std::atoi(argv[++i]);
        } else if (arg == "--cli") {
            cli = true;
        } else {
            std::fprintf(stderr, "usage: bench-upload [--cli] [--com N]\n");
            return 2;
        }
    }

    sim::ScannerConfig config;
    // The dialog: a test first, then the restart in update mode. The
    // command line: a scanner restarted in update mode after an earlier test.
    config.mode = cli ? sim::ScannerMode::Update : sim::ScannerMode::Auto;
    BenchScanner scanner(config, kCom, com);
    if (!scanner.Started()) {
        std::fprintf(stderr, "bench-upload: cannot serve the scanner: %s\n", scanner.Error().c_str());
        return 1;
    }
    const std::uint16_t length = g_firmwareImage.length;
    std::printf("UPDATE of %u bytes to %s, by %s\n", length, scanner.Where().c_str(),
                cli ? "vrt58-dsp-update update --skip-test" : "the dialog's UPDATE button");

    SteadyClock::time_point pressed, returned;
    double cpuProcess = 0, cpuUi = 0;
    bool ready = false;
    bool done = false;
    if (cli) {
        NullTerminal terminal;
        const std::vector<std::string> args = {"update", "--port", "COM" + std::to_string(scanner.Com()),
                                               "--skip-test", "--yes"};
        ready = true;
        const double cpu0 = ProcessCpuMs();
        const double ui0 = ThreadCpuMs();
        pressed = SteadyClock::now();
        done = cli::RunCommandLine(args, terminal) == 0;
        returned = SteadyClock::now();
        cpuUi = ThreadCpuMs() - ui0;
        cpuProcess = ProcessCpuMs() - cpu0;
    } else {
        testing_support::RealTimeApp app;
        CUpdaterDlg dlg;
        app.Run(dlg, [&](platform::testwin::TestDialog& d) {
            d.Select(IDC_PORT_LIST, scanner.Com() - 1);
            d.Click(IDC_TEST);
            if (!app.Enabled(IDC_UPDATE) || !scanner.WaitForUpdateMode()) {
                return;
            }
            ready = true;
            const double cpu0 = ProcessCpuMs();
            const double ui0 = ThreadCpuMs();
            pressed = SteadyClock::now();
            d.Click(IDC_UPDATE);
            returned = SteadyClock::now();
            cpuUi = ThreadCpuMs() - ui0;
            cpuProcess = ProcessCpuMs() - cpu0;
        });
        done = app.Main().Control(IDC_DONE_TEXT)->visible;
    }
    const bool complete = scanner.ImageIntact(std::span(g_firmwareImage.payload, g_firmwareImage.length));
    if (!ready || !complete || !done) {
        std::fprintf(stderr, "bench-upload: the upload did not complete:\n%s", scanner.Log().c_str());
        return 1;
    }

    const auto sync = scanner.SyncArrival(pressed);
    const double ms = std::chrono::duration<double, std::milli>(returned - pressed).count();
    const double untilSync = sync ? std::chrono::duration<double, std::milli>(*sync - pressed).count() : 0;
    const double syncWait = std::max(0.0, untilSync - 100);
    double stream = 0;
    for (int left = length; left > 0; left -= 100) {
        stream += std::min(left, 100) * kMsPerByte + 100;
    }
    const double floorMs = 100 + syncWait + 6 * kMsPerByte + 200 + stream;

    std::printf("wall %.1f ms\n", ms);
    std::printf("floor %.1f ms = 100 pause + %.1f until 'U' + %.1f header + 200 pause + %.1f for %d chunks\n", floorMs,
                syncWait, 6 * kMsPerByte, stream, (length + 99) / 100);
    std::printf("over the floor %.1f ms\n", ms - floorMs);
    std::printf("cpu: process %.1f ms (user-interface thread %.1f ms, the rest %s)\n", cpuProcess, cpuUi,
                com ? "other threads of this process" : "the scanner model's server");
    std::printf("ratio %.4f\n", ms / floorMs);
    std::printf("cpu %.4f\n", cpuProcess / ms);
    return 0;
}
