// The Win32 comm backend under Wine: the cross-built test program
// (tests/win32/comm_pty_test.cpp) runs against the scanner model served here
// on a pseudo-terminal that the run's Wine prefix maps as COM<n>. Each case
// picks the scanner, runs the program's suite for it and checks what the
// scanner saw.
#include "protocol/Protocol.h"
#include "support/ServedScanner.h"
#include "support/WinePrefix.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using testing_support::RunProgram;
using testing_support::ServedScanner;
using testing_support::WinePrefix;

namespace {

// COM numbers of these tests in the shared prefix.
constexpr int kComScanner = 21;
constexpr int kComHangUp = 22;

class WindowsComm : public testing::Test {
protected:
    void SetUp() override
    {
        if (!m_wine.Ok()) {
            FAIL() << m_wine.Error();
        }
    }

    void TearDown() override
    {
        for (int com : m_attached) {
            m_wine.DetachPort(com);
        }
    }

    bool Attach(int com, const ServedScanner& scanner)
    {
        m_attached.push_back(com);
        return m_wine.AttachPort(com, scanner.SlavePath());
    }

    // Runs the suites of the Windows program that match `filter`, with the
    // scanner on COM<com> (0: none), and passes its lines on to this
    // test's output. The exit status; -1 when it had to be killed.
    int RunWindows(const std::string& filter, int com)
    {
        std::vector<std::string> argv = {"env", "VRT_TEST_COM=" + std::to_string(com)};
        const auto wine = m_wine.Command(WinePrefix::WindowsBuild() + "/tests/win32_comm_pty_test.exe",
                                         {"--gtest_filter=" + filter});
        argv.insert(argv.end(), wine.begin(), wine.end());
        int status = -1;
        m_lines = RunProgram(argv, 60, &status);
        for (const std::string& line : m_lines) {
            std::printf("  | %s\n", line.c_str());
        }
        return status;
    }

    // Every selected test ran; none was skipped for want of a port.
    bool AllRan() const
    {
        const bool passed = std::any_of(m_lines.begin(), m_lines.end(),
                                        [](const std::string& l) { return l.starts_with("[  PASSED  ]"); });
        const bool skipped = std::any_of(m_lines.begin(), m_lines.end(),
                                         [](const std::string& l) { return l.starts_with("[  SKIPPED ]"); });
        return passed && !skipped;
    }

    WinePrefix m_wine;
    std::vector<int> m_attached;
    std::vector<std::string> m_lines;
};

TEST_F(WindowsComm, OpensConfiguresWritesEchoesAndRunsATest)
{
    sim::ScannerConfig config;
    config.version = 0x14;
    config.factory = true;
    ServedScanner scanner(config, kComScanner);
    ASSERT_TRUE(scanner.Started()) << scanner.Error();
    ASSERT_TRUE(Attach(kComScanner, scanner));

    EXPECT_EQ(RunWindows("ScannerOnPort.*", kComScanner), 0);
    EXPECT_TRUE(AllRan());

    scanner.With([](sim::ScannerModel& model) {
        const sim::ScannerRecord& r = model.Record();
        ASSERT_EQ(r.requests.size(), 2u);
        EXPECT_EQ(r.requests[0].kind, sim::RequestKind::Enq);
        EXPECT_EQ(r.requests[1].kind, sim::RequestKind::Version);
        EXPECT_EQ(r.requests[0].answer, ACK);
        EXPECT_EQ(r.requests[1].answer, ACK);
        EXPECT_EQ(r.pcAnswers, std::vector<std::uint8_t>{ACK});
        // The 100-byte write and the single ACK after the abandoned read.
        EXPECT_EQ(r.strayBytes, 101u);
    });
    EXPECT_FALSE(scanner.HungUpAt().has_value());
}

TEST_F(WindowsComm, ScannerHangingUpMidRun)
{
    sim::ScannerConfig config;
    config.faults.hangupAfter = 2;  // gone as the VERSION request arrives
    ServedScanner scanner(config, kComHangUp);
    ASSERT_TRUE(scanner.Started()) << scanner.Error();
    ASSERT_TRUE(Attach(kComHangUp, scanner));

    EXPECT_EQ(RunWindows("ScannerHangsUp.*", kComHangUp), 0);
    EXPECT_TRUE(AllRan());
    EXPECT_TRUE(scanner.HungUpAt().has_value()) << scanner.Log();
}

TEST_F(WindowsComm, MissingPort)
{
    EXPECT_EQ(RunWindows("MissingPort.*", 0), 0);
    EXPECT_TRUE(AllRan());
}

}  // namespace
