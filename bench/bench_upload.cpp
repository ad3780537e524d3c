// bench-upload: one real-time upload of the whole image to the scanner model
// on a pseudo-terminal. Prints its wall time over the protocol's floor and
// the process's CPU time over that wall time, ending with "ratio <x>" and
// "cpu <x>".
//
// The floor: the 100 ms pause, the wait until the scanner's 'U' has arrived,
// the header's line time and its 200 ms pause, then for every chunk its line
// time and the 100 ms pause after it.
#include "resources/ResourceIds.h"
#include "support/RealTimeApp.h"
#include "support/ServedScanner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr int kCom = 10;
constexpr double kMsPerByte = 10'000.0 / 19'200.0;

double CpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

}  // namespace

int main()
{
    using SteadyClock = std::chrono::steady_clock;
    sim::ScannerConfig config;
    config.mode = sim::ScannerMode::Auto;  // a test first, then the restart in update mode
    testing_support::ServedScanner scanner(config, kCom);
    if (!scanner.Started()) {
        std::fprintf(stderr, "bench-upload: cannot serve the scanner: %s\n", scanner.Error().c_str());
        return 1;
    }
    const std::uint16_t length = g_firmwareImage.length;
    std::printf("UPDATE of %u bytes to the scanner model on %s (COM%d)\n", length, scanner.SlavePath().c_str(), kCom);

    testing_support::RealTimeApp app;
    CUpdaterDlg dlg;
    SteadyClock::time_point pressed, returned;
    double cpuProcess = 0, cpuUi = 0;
    bool ready = false;
    app.Run(dlg, [&](platform::testwin::TestDialog& d) {
        d.Select(IDC_PORT_LIST, kCom - 1);
        d.Click(IDC_TEST);
        if (!app.Enabled(IDC_UPDATE) ||
            !scanner.WaitUntil([](sim::ScannerModel& m) { return m.InUpdateMode(); }, 5000)) {
            return;
        }
        ready = true;
        const double cpu0 = CpuMs(RUSAGE_SELF);
        const double ui0 = ThreadCpuMs();
        pressed = SteadyClock::now();
        d.Click(IDC_UPDATE);
        returned = SteadyClock::now();
        cpuUi = ThreadCpuMs() - ui0;
        cpuProcess = CpuMs(RUSAGE_SELF) - cpu0;
    });
    const bool complete = scanner.With([&](sim::ScannerModel& m) {
        return m.ImageComplete() &&
               !m.FirstDifference(std::span(g_firmwareImage.payload, g_firmwareImage.length)).has_value();
    });
    if (!ready || !complete || !app.Main().Control(IDC_DONE_TEXT)->visible) {
        std::fprintf(stderr, "bench-upload: the upload did not complete:\n%s", scanner.Log().c_str());
        return 1;
    }

    const auto syncs = scanner.EventTimes("sync 'U' sent");
    const auto sync = std::find_if(syncs.begin(), syncs.end(), [&](auto t) { return t >= pressed; });
    const double ms = std::chrono::duration<double, std::milli>(returned - pressed).count();
    // The 'U' is on the line for one character after it was sent.
    const double untilSync =
        sync == syncs.end() ? 0 : std::chrono::duration<double, std::milli>(*sync - pressed).count() + kMsPerByte;
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
    std::printf("cpu: process %.1f ms (user-interface thread %.1f ms, the rest the scanner model's server)\n",
                cpuProcess, cpuUi);
    std::printf("ratio %.4f\n", ms / floorMs);
    std::printf("cpu %.4f\n", cpuProcess / ms);
    return 0;
}
