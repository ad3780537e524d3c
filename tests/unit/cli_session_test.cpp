// The command-line front end in virtual time: the whole command line over
// the fake line with the scanner model as COM5, as a user at a terminal or
// a script would run it. The real executable's texts are proved against
// vrt58-sim in the integration tests; these cover the paths a pty cannot
// easily reach: answers typed at a terminal and Ctrl+C part way.
#include "app/AppText.h"
#include "cli/CommandLine.h"
#include "cli/Interrupt.h"
#include "cli/PortChoice.h"
#include "firmware/FirmwareImage.h"
#include "platform/Services.h"
#include "support/MemoryTerminal.h"
#include "support/SimLine.h"

#include <gtest/gtest.h>

#include <algorithm>

using testing_support::MemoryTerminal;

namespace {

constexpr int kCom = 5;

#ifdef _WIN32
constexpr const char* DEVICE_PATH = "\\\\.\\NoSuchPort";
#else
constexpr const char* DEVICE_PATH = "/nonexistent/ttyUSB9";
#endif

class CliSessionTest : public testing::Test {
protected:
    explicit CliSessionTest(sim::ScannerConfig config = {}) : line(config, kCom)
    {
        line.clock.SetCostPerTick(1);  // the sync wait polls without sleeping
    }
    ~CliSessionTest() override { cli::ClearInterrupt(); }

    int Run(std::vector<std::string> args) { return cli::RunCommandLine(args, terminal); }

    bool ImageArrived() const
    {
        const auto& record = line.model.Record();
        return record.imageBytes == g_firmwareImage.length &&
               std::equal(record.image.begin(), record.image.end(), g_firmwareImage.payload);
    }

    // What the program writes to standard error before anything else.
    static std::string Notice() { return PlaceholderNotice(); }

    test::SimLine line;
    platform::ScopedServices services{line.clock, line.ports};
    MemoryTerminal terminal;
};

struct AutoScanner : CliSessionTest {
    static sim::ScannerConfig Config()
    {
        sim::ScannerConfig config;
        config.mode = sim::ScannerMode::Auto;  // restarted in update mode once the test closes the port
        return config;
    }
    AutoScanner() : CliSessionTest(Config()) {}
};

TEST_F(AutoScanner, AtATerminalAsksThenWaitsForEnterThenSendsTheImage)
{
    terminal.inputIsTerminal = true;
    terminal.input = {"y", ""};  // the warning, then Enter after steps 4 to 6
    EXPECT_EQ(Run({"update", "--port", "COM5"}), 0) << terminal.err;
    EXPECT_TRUE(ImageArrived());
    EXPECT_EQ(terminal.reads, 2);
    EXPECT_NE(terminal.out.find("Are you ready to proceed with this update utility?\n[y/N] \n"), std::string::npos)
        << terminal.out;
    EXPECT_NE(terminal.out.find("Press Enter when the scanner is in its DSP update mode (Ctrl+C stops): \n"
                                "Operation complete."),
              std::string::npos)
        << terminal.out;
    EXPECT_EQ(line.ports.Record().opens, 2);
    EXPECT_FALSE(line.ports.Record().open);
}

TEST_F(AutoScanner, InputThatEndsAtThePauseSendsNothing)
{
    terminal.inputIsTerminal = true;
    terminal.input = {"yes"};
    EXPECT_EQ(Run({"update", "--port", "COM5"}), 3);
    EXPECT_EQ(line.model.Record().imageBytes, 0u);
    EXPECT_EQ(line.ports.Record().opens, 1);  // the test only
    EXPECT_EQ(terminal.err, Notice() + "\nvrt58-dsp-update: no go-ahead (the input ended); nothing was sent to "
                                       "the scanner.\n");
}

TEST_F(AutoScanner, CtrlCPartWayClosesThePortAndSaysHowTheScannerRecovers)
{
    terminal.onWrite = [](platform::console::Stream, std::string_view text) {
        if (text.starts_with("Updating DSP: 30%")) {
            cli::RequestInterrupt();
        }
    };
    EXPECT_EQ(Run({"update", "--port", "COM5", "--yes"}), 130);
    EXPECT_FALSE(line.ports.Record().open);
    EXPECT_EQ(line.ports.Record().eventsOpen, 0);
    // Noticed at the next tick: no chunk went out after the line.
    EXPECT_EQ(line.model.Record().imageBytes, 8200u);
    const std::string tail = "Updating DSP: 30% (8200 of 27038 bytes)\n\n"
                             "vrt58-dsp-update: interrupted; the update did not complete and the port is closed.\n"
                             "You can always revert to the factory DSP programming via the procedure described in\n"
                             "the VRT-58 manual; then retry from step 4.\n";
    EXPECT_TRUE(terminal.err.ends_with(tail)) << terminal.err;
}

TEST_F(CliSessionTest, CtrlCAtTheQuestionStopsWithoutOpeningThePort)
{
    terminal.inputIsTerminal = true;
    terminal.onWrite = [](platform::console::Stream, std::string_view text) {
        if (text == "[y/N] ") {
            cli::RequestInterrupt();  // the read then comes back empty
        }
    };
    EXPECT_EQ(Run({"update", "--port", "COM5"}), 130);
    EXPECT_EQ(line.ports.Record().opens, 0);
    EXPECT_TRUE(terminal.err.ends_with("\nvrt58-dsp-update: interrupted; nothing was sent to the scanner.\n"))
        << terminal.err;
}

TEST_F(CliSessionTest, SkipTestSendsAtOnceToTheNamedPort)
{
    line.model.EnterUpdateMode(line.clock.Now());
    EXPECT_EQ(Run({"update", "--port", "\\\\.\\COM5", "--skip-test", "--yes"}), 0) << terminal.err;
    EXPECT_TRUE(ImageArrived());
    EXPECT_EQ(line.ports.Record().opens, 1);
    EXPECT_TRUE(line.model.Record().requests.empty());
}

TEST_F(CliSessionTest, AScannerThatAnswersWithoutAVersionIsAFailureWithALineOfItsOwn)
{
    line.model.Config().replyByte1 = 0;  // the dialog shows nothing for it
    EXPECT_EQ(Run({"test", "--port", "COM5"}), 1);
    EXPECT_EQ(terminal.err, Notice() + "\nvrt58-dsp-update: the scanner answered without a usable version. "
                                       "Please retry from Step 1.\n");
}

struct UsageCase {
    std::vector<std::string> args;
    const char* message;
};

TEST_F(CliSessionTest, UsageErrorsSayWhatIsWrongAndOpenNothing)
{
    const std::vector<UsageCase> cases = {
        {{}, "no command given (test, update or list-ports)"},
        {{"flash"}, "unknown command 'flash'"},
        {{"--yes", "test"}, "the command comes first: test, update or list-ports"},
        {{"test"}, "test needs --port: COM1 to COM256 or a device path"},
        {{"test", "--port"}, "--port needs a port: COM1 to COM256 or a device path"},
        {{"update", "--port", "COM0"}, "--port takes COM1 to COM256 or a device path, not 'COM0'"},
        {{"update", "--port=COM257"}, "--port takes COM1 to COM256 or a device path, not 'COM257'"},
        {{"test", "--port", "ttyUSB0"}, "--port takes COM1 to COM256 or a device path, not 'ttyUSB0'"},
        {{"test", "--port", "COM5", "--skip-test"}, "--skip-test belongs to update"},
        {{"test", "--port", "COM5", "-y"}, "unknown option '-y'"},
        {{"list-ports", "--yes"}, "list-ports takes no options"},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.message);
        terminal.err.clear();
        EXPECT_EQ(Run(c.args), 2);
        EXPECT_EQ(terminal.err,
                  std::string("vrt58-dsp-update: ") + c.message + "\nTry 'vrt58-dsp-update --help'.\n");
    }
    EXPECT_EQ(terminal.out, "");
    EXPECT_EQ(line.ports.Record().opens, 0);
}

TEST(PortChoice, ADevicePathThatNoNumberOpensIsNamedByTheLowestFreeNumber)
{
    cli::PortChoice choice = *cli::PortChoice::Parse(DEVICE_PATH);
    EXPECT_EQ(choice.devicePath, DEVICE_PATH);
    // COM2 is taken by a link that leads nowhere: it is not free either.
    const std::vector<cli::ComPort> ports = {{1, "a", ""}, {2, "", ""}, {4, "b", ""}};
    EXPECT_EQ(choice.NumberDevicePath(ports),
              std::string(DEVICE_PATH) + " is none of this machine's COM ports; the messages call it COM3.");
    EXPECT_EQ(choice.comNumber, 3);
}

}  // namespace
