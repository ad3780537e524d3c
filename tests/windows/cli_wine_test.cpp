// vrt58-dsp-update.exe under Wine: its version, and a test against the
// scanner model served here on a pseudo-terminal that the run's prefix maps
// as a COM port.
#include "support/ServedScanner.h"
#include "support/WinePrefix.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::RunProgram;
using testing_support::ServedScanner;
using testing_support::WinePrefix;

namespace {

// The COM number of this test in the shared prefix.
constexpr int kCom = 11;

// The lines without the carriage returns of the Windows console.
std::vector<std::string> Lines(std::vector<std::string> lines)
{
    for (std::string& line : lines) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
    }
    return lines;
}

TEST(WindowsCli, SaysItsVersionAndTestsTheScannerOnACom)
{
    WinePrefix wine;
    ASSERT_TRUE(wine.Ok()) << wine.Error();
    const std::string exe = WinePrefix::WindowsBuild() + "/vrt58-dsp-update.exe";

    int status = -1;
    std::vector<std::string> out = Lines(RunProgram(wine.Command(exe, {"--version"}), 60, &status));
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "vrt58-dsp-update 0.0.1.4");

    ServedScanner scanner(sim::ScannerConfig{}, kCom);  // holds 1.3
    ASSERT_TRUE(scanner.Started()) << scanner.Error();
    ASSERT_TRUE(wine.AttachPort(kCom, scanner.SlavePath()));
    out = Lines(RunProgram(wine.Command(exe, {"test", "--port", "COM11"}), 60, &status));
    wine.DetachPort(kCom);

    EXPECT_EQ(status, 0) << scanner.Log();
    const std::vector<std::string> tail = {
        "[y/N] yes (test only reads the scanner's version)",
        "",
        "SCANNER VERSION: 1.3 (a field upgrade)",
        "UPDATER VERSION: 1.4",
        "",
        "The version of the DSP Application in the scanner is 1.3, and",
        "is a field-upgraded version.",
        "",
        "This update utility contains version 1.4.",
        "",
        "The update may go ahead.",
    };
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(out.end() - static_cast<long>(tail.size()), out.end()), tail);
    const auto requests = scanner.With([](sim::ScannerModel& m) { return m.Record().requests.size(); });
    EXPECT_EQ(requests, 2u);  // ENQ and VERSION
}

}  // namespace
