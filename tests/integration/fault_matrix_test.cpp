// Every fault a user can meet on the line, in real time: the real clock and
// serial backend, the scanner model on a pseudo-terminal reached as COM58
// through the port map folder, the test window system. One row per fault:
// the handler that meets it, what the user sees (byte for byte), how long
// the handler may take, where its port stands when the box comes up, and
// the controls afterwards. Each row runs as a test of its own under a
// watchdog, so a hang fails loudly instead of stalling the suite.
#include "app/AppText.h"
#include "resources/ResourceIds.h"
#include "support/PortHolder.h"
#include "support/RealTimeApp.h"
#include "support/ServedScanner.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

using namespace platform;
using namespace std::chrono_literals;
using testing_support::PortHolder;
using testing_support::RealTimeApp;
using testing_support::ServedScanner;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kCom = 58;
// Uploads here send a short image: the faults are in the first bytes.
constexpr std::uint16_t kImageLength = 1000;
// What a loaded machine (or a sanitizer build) may add to a bound.
constexpr int kSlackMs = 1500;
// A failure "at once" comes well before the shortest time-out (1000 ms).
constexpr int kAtOnceMs = 600;
// Waits counted in whole ticks of the millisecond counter may end this much
// early in real time.
constexpr int kTickMs = 1;

const std::string kTestPortFailure =
    "Unable to open the port COM58. Make sure that it actually\nexists and is not being used by any other program "
    "(e.g. a\nPDA program like Palm's HotSync).\n\nPlease retry from Step 2.";
const std::string kUpdatePortFailure =
    "Unable to open the port COM58. Make sure that it's actually\nexists and is not being used by any other program "
    "(e.g. a\nPDA program like Palm's HotSync).";
const std::string kRetry = "\n\nPlease retry from Step 1.";
const std::string kReadBack =
    "Failed to read back the sent data (as expected with a functional\ncable!).\nEnsure that the selected COM port "
    "is correct, a supported cable\nis connected between the port and the scanner, and the scanner\nis turned ON.";
const std::string kNoResponse =
    "No response (or incomplete response) from the scanner.\nEnsure that the selected COM port is correct, a "
    "supported cable\nis connected between the port and the scanner, and the scanner\nis turned ON.";
const std::string kScannerError =
    "Received an error message from the scanner. Retrying the\noperation may be successful.";
const std::string kFlashError =
    "The scanner reports an error while attempting to write a\nfolder's flash memory space. Retrying the operation "
    "may\nbe successful.";
const std::string kVersion13 =
    "The version of the DSP Application in the scanner is 1.3, and\nis a field-upgraded version.\n\n"
    "This update utility contains version 1.4.";
const std::string kNoSync = "No data from the scanner. Please retry from step 4";
const std::string kIncomplete =
    "The update did not complete: the scanner stopped taking data part way.\n\n"
    "Check the cable and the port, then retry from step 4.";

const char* const kInitialBanner = "SCANNER VERSION: ?.?\nUPDATER VERSION: 1.4";
const char* const kBanner13 = "SCANNER VERSION: 1.3 (a field upgrade)\nUPDATER VERSION: 1.4";

enum class Handler { Test, Update };

// What is done to the line just before the press.
enum class Breakage { None, LinkMissing, HeldByLock, HeldByFlag };

// Where the handler's port stands while the box is up.
enum class PortAtBox {
    NeverOpened,  // the handler could not open it
    Closed,       // closed before the box: it opens again at once
    StillOpen,    // closed only once the box is dismissed
    Gone,         // the device vanished; nothing of it is left open
};

// The controls afterwards follow from the outcome.
enum class Outcome { TestFailed, TestAllowed, UpdateFailed, UpdateDone };

struct Row {
    const char* name;
    Handler handler = Handler::Test;
    Breakage breakage = Breakage::None;
    void (*fault)(sim::ScannerConfig&) = nullptr;
    std::string text{};  // the box after the press, byte for byte; empty: none
    std::uint32_t style = MB_ICONWARNING;
    Outcome outcome = Outcome::TestFailed;
    int minMs = 0;  // the handler's duration, from the press, or from the
    int maxMs = 0;  // hang-up where fromHangUp
    bool fromHangUp = false;
    PortAtBox port = PortAtBox::Closed;
    void (*check)(const sim::ScannerModel&) = nullptr;  // what the scanner saw
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

using Answers = std::vector<std::optional<std::uint8_t>>;

Answers AnswersTo(const sim::ScannerRecord& r, sim::RequestKind kind)
{
    Answers answers;
    for (const auto& request : r.requests) {
        if (request.kind == kind) {
            answers.push_back(request.answer);
        }
    }
    return answers;
}

void NoRequest(const sim::ScannerModel& m)
{
    EXPECT_TRUE(m.Record().requests.empty());
}

void OneByteReached(const sim::ScannerModel& m)
{
    EXPECT_EQ(m.Record().bytesReceived, 1u);
}

void NothingReached(const sim::ScannerModel& m)
{
    EXPECT_TRUE(m.Record().header.empty());
    EXPECT_EQ(m.Record().imageBytes, 0u);
}

void ShortImageArrived(const sim::ScannerModel& m)
{
    const auto& r = m.Record();
    EXPECT_EQ(r.header, (std::vector<std::uint8_t>{0x66, 0x02, 0x01, 0xF4, 0x03, 0xF8}));
    EXPECT_TRUE(r.headerGood);
    EXPECT_EQ(m.FirstDifference(std::span(g_firmwareImage.payload, kImageLength)), std::nullopt);
}

const Row kRows[] = {
    // The port does not open: no pause, no exchange.
    {.name = "LinkMissing_Test", .breakage = Breakage::LinkMissing, .text = kTestPortFailure, .maxMs = 500,
     .port = PortAtBox::NeverOpened, .check = NoRequest},
    {.name = "LinkMissing_Update", .handler = Handler::Update, .breakage = Breakage::LinkMissing,
     .text = kUpdatePortFailure, .outcome = Outcome::UpdateFailed, .maxMs = 500, .port = PortAtBox::NeverOpened,
     .check = NothingReached},
    {.name = "HeldByLock_Test", .breakage = Breakage::HeldByLock, .text = kTestPortFailure, .maxMs = 500,
     .port = PortAtBox::NeverOpened, .check = NoRequest},
    {.name = "HeldByLock_Update", .handler = Handler::Update, .breakage = Breakage::HeldByLock,
     .text = kUpdatePortFailure, .outcome = Outcome::UpdateFailed, .maxMs = 500, .port = PortAtBox::NeverOpened,
     .check = NothingReached},
    {.name = "HeldExclusive_Test", .breakage = Breakage::HeldByFlag, .text = kTestPortFailure, .maxMs = 500,
     .port = PortAtBox::NeverOpened, .check = NoRequest},
    {.name = "HeldExclusive_Update", .handler = Handler::Update, .breakage = Breakage::HeldByFlag,
     .text = kUpdatePortFailure, .outcome = Outcome::UpdateFailed, .maxMs = 500, .port = PortAtBox::NeverOpened,
     .check = NothingReached},

    // The exchanges start 300 ms after the press (100 ms, then 200 ms).
    // Three ENQs, each given up on once more than 1000 ms passed.
    {.name = "SilentScanner",
     .fault = [](sim::ScannerConfig& c) { c.faults.silence = sim::ScannerFaults::kAlways; },
     .text = kNoResponse + kRetry,
     .minMs = 300 + 3000,
     .maxMs = 300 + 3000 + kSlackMs,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_EQ(AnswersTo(m.Record(), sim::RequestKind::Enq), Answers(3, std::nullopt));
         EXPECT_EQ(m.Record().requests.size(), 3u);
     }},
    {.name = "NakToEveryVersion",
     .fault = [](sim::ScannerConfig& c) {
         c.faults.target = 'V';
         c.faults.nak = sim::ScannerFaults::kAlways;
     },
     .text = kScannerError + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_EQ(AnswersTo(m.Record(), sim::RequestKind::Version), Answers(3, std::uint8_t{0x15}));
     }},
    {.name = "BelAfterEnq",
     .fault = [](sim::ScannerConfig& c) {
         c.faults.target = 0x05;
         c.faults.bel = 1;
     },
     .text = kFlashError + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_EQ(AnswersTo(m.Record(), sim::RequestKind::Enq), Answers{std::uint8_t{0x07}});
         EXPECT_EQ(m.Record().requests.size(), 1u);
     }},
    {.name = "StrayByteForAck",
     .fault = [](sim::ScannerConfig& c) {
         c.faults.stray = 1;
         c.faults.strayByte = 0x00;
     },
     .text = kScannerError + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_EQ(AnswersTo(m.Record(), sim::RequestKind::Enq), Answers{std::uint8_t{0x00}});
         EXPECT_EQ(m.Record().requests.size(), 1u);
     }},
    // NAK for the first two bad replies, ACK for the third.
    {.name = "BadChecksumThrice",
     .fault = [](sim::ScannerConfig& c) { c.faults.badChecksum = 3; },
     .text = kNoResponse + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_EQ(m.Record().pcAnswers, (std::vector<std::uint8_t>{0x15, 0x15, 0x06}));
     }},
    {.name = "ReplyInPiecesWithinASecond",
     .fault = [](sim::ScannerConfig& c) {
         c.faults.splitAt = 2;
         c.faults.pieceGapMs = 400;
     },
     .text = kVersion13,
     .style = MB_ICONINFORMATION,
     .outcome = Outcome::TestAllowed,
     .minMs = 300 + 400,
     .maxMs = 300 + 400 + kSlackMs,
     .check = [](const sim::ScannerModel& m) { EXPECT_EQ(m.Record().pcAnswers, std::vector<std::uint8_t>{0x06}); }},
    {.name = "ReplyTooSlow",
     .fault = [](sim::ScannerConfig& c) { c.faults.slowReplyMs = 1500; },
     .text = kNoResponse + kRetry,
     .minMs = 300 + 1000,
     .maxMs = 300 + 1000 + kSlackMs,
     .check = [](const sim::ScannerModel& m) { EXPECT_TRUE(m.Record().pcAnswers.empty()); }},
    // A cable without loop-back: with the scanner silent too nothing comes
    // back, and the echo is given up on about a second after the byte went ...
    {.name = "NoEchoNothingBack",
     .fault = [](sim::ScannerConfig& c) {
         c.faults.noEcho = true;
         c.faults.silence = sim::ScannerFaults::kAlways;
     },
     .text = kReadBack + kRetry,
     .minMs = 300 + 1000 - kTickMs,
     .maxMs = 300 + 1000 + kSlackMs,
     .check = OneByteReached},
    // ... while a scanner that answers has its ACK taken for the echo,
    // which differs at once.
    {.name = "NoEchoScannerAnswers",
     .fault = [](sim::ScannerConfig& c) { c.faults.noEcho = true; },
     .text = kReadBack + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = OneByteReached},
    {.name = "WrongEcho",
     .fault = [](sim::ScannerConfig& c) { c.faults.wrongEcho = true; },
     .text = kReadBack + kRetry,
     .minMs = 300,
     .maxMs = 300 + kAtOnceMs,
     .check = OneByteReached},
    // The 'V' went out before the line went; its echo never comes.
    {.name = "HangUpMidTest",
     .fault = [](sim::ScannerConfig& c) { c.faults.hangupAfter = 1; },
     .text = kReadBack + kRetry,
     .minMs = 300 + 1000 - kTickMs,
     .maxMs = 300 + 1000 + kSlackMs,
     .port = PortAtBox::Gone,
     .check = [](const sim::ScannerModel& m) { EXPECT_TRUE(m.Record().hungUp); }},

    // 100 ms, the 'U' about 200 ms after the open, the header and its
    // 200 ms, then ten chunks, each 52 ms on the line and 100 ms after.
    {.name = "NoiseBeforeSync",
     .handler = Handler::Update,
     .fault = [](sim::ScannerConfig& c) { c.faults.syncNoise = 3; },
     .outcome = Outcome::UpdateDone,
     .minMs = 100 + 200 + 10 * 151,
     .maxMs = 100 + 200 + 200 + 10 * 153 + kSlackMs,
     .check = ShortImageArrived},
    // The port stays open under the box and closes once it is dismissed.
    {.name = "SyncAfterTheWindow",
     .handler = Handler::Update,
     .fault = [](sim::ScannerConfig& c) { c.syncDelayMs = 2600; },
     .text = kNoSync,
     .outcome = Outcome::UpdateFailed,
     .minMs = 100 + 2000 - kTickMs,
     .maxMs = 100 + 2000 + kSlackMs,
     .port = PortAtBox::StillOpen,
     .check = NothingReached},
    {.name = "NoSync",
     .handler = Handler::Update,
     .fault = [](sim::ScannerConfig& c) { c.faults.noSync = true; },
     .text = kNoSync,
     .outcome = Outcome::UpdateFailed,
     .minMs = 100 + 2000 - kTickMs,
     .maxMs = 100 + 2000 + kSlackMs,
     .port = PortAtBox::StillOpen,
     .check = NothingReached},
    // Gone after the test's 3 bytes, the header and 250 image bytes; the
    // writes that follow send nothing and are given up on after 5 s.
    {.name = "HangUpMidUpload",
     .handler = Handler::Update,
     .fault = [](sim::ScannerConfig& c) { c.faults.hangupAfter = 3 + 6 + 250; },
     .text = kIncomplete,
     .outcome = Outcome::UpdateFailed,
     .minMs = 5000,
     .maxMs = 5000 + 100 + kSlackMs,
     .fromHangUp = true,
     .port = PortAtBox::Gone,
     .check = [](const sim::ScannerModel& m) {
         EXPECT_TRUE(m.Record().hungUp);
         EXPECT_EQ(m.Record().imageBytes, 250u);
         EXPECT_EQ(m.FirstDifference(std::span(g_firmwareImage.payload, 250)), std::nullopt);
     }},
};

// What the observer saw while the handler's box was up.
struct AtBox {
    bool seen = false;
    int held = -1;  // exclusive opens of the line in this process
    bool opensAgain = false;
    bool progressGone = false;
};

class FaultMatrix : public testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, TheUserSeesWhatTheRowSays)
{
    const Row& row = GetParam();
    sim::ScannerConfig config;
    // A scanner that passes a test and then restarts in update mode.
    config.mode = row.handler == Handler::Update ? sim::ScannerMode::Auto : sim::ScannerMode::Normal;
    if (row.fault != nullptr) {
        row.fault(config);
    }
    ServedScanner scanner(config, kCom);
    ASSERT_TRUE(scanner.Started()) << scanner.Error();

    auto image = std::make_unique<FirmwareImage>(g_firmwareImage);
    image->length = kImageLength;
    RealTimeApp app;
    CUpdaterDlg dlg(nullptr, *image);
    std::optional<PortHolder> holder;
    std::size_t boxesBefore = 0;
    std::uint64_t bytesBefore = 0;
    AtBox atBox;
    SteadyClock::time_point pressed, returned;

    app.Run(dlg, [&](testwin::TestDialog& d) {
        ASSERT_TRUE(d.Select(IDC_PORT_LIST, kCom - 1));
        if (row.handler == Handler::Update) {
            {
                const testing_support::Watchdog watchdog(15s, std::string(row.name) + ": the test before the update");
                ASSERT_TRUE(d.Click(IDC_TEST));
            }
            ASSERT_TRUE(app.Enabled(IDC_UPDATE)) << "the test did not allow the update";
            ASSERT_TRUE(scanner.WaitUntil([](sim::ScannerModel& m) { return m.InUpdateMode(); }, 5000))
                << "the scanner never saw the port close after the test";
        }
        switch (row.breakage) {
        case Breakage::None:
            break;
        case Breakage::LinkMissing:
            scanner.RemoveLink();
            break;
        case Breakage::HeldByLock:
        case Breakage::HeldByFlag:
            holder.emplace(scanner.SlavePath(), row.breakage == Breakage::HeldByLock ? PortHolder::How::Lock
                                                                                     : PortHolder::How::ExclusiveFlag);
            ASSERT_TRUE(holder->Holding()) << "no other process holds " << scanner.SlavePath();
            break;
        }
        boxesBefore = app.windows.MessageBoxes().size();
        bytesBefore = scanner.With([](sim::ScannerModel& m) { return m.Record().bytesReceived; });
        app.windows.OnMessageBox([&](const testwin::MessageBoxRecord&) {
            if (atBox.seen) {
                return;
            }
            atBox.seen = true;
            atBox.held = scanner.HeldHere();
            atBox.opensAgain = row.port != PortAtBox::Gone && row.port != PortAtBox::NeverOpened &&
                               scanner.CanOpenExclusively();
            const auto progress = app.windows.DialogsFrom(IDD_PROGRESS);
            atBox.progressGone = std::ranges::all_of(progress, [](auto* p) { return p->destroyed; });
        });

        const int limit = row.maxMs + (row.fromHangUp ? 10000 : 0) + 20000;
        const testing_support::Watchdog watchdog(std::chrono::milliseconds(limit),
                                                 std::string(row.name) + ": the handler");
        pressed = SteadyClock::now();
        ASSERT_TRUE(d.Click(row.handler == Handler::Test ? IDC_TEST : IDC_UPDATE));
        returned = SteadyClock::now();
    });
    if (HasFatalFailure()) {
        ADD_FAILURE() << "the scanner's side:\n" << scanner.Log();
        return;
    }
    SCOPED_TRACE("the scanner's side:\n" + scanner.Log());

    // What the user sees.
    const auto& boxes = app.windows.MessageBoxes();
    if (!row.text.empty()) {
        ASSERT_EQ(boxes.size(), boxesBefore + 1);
        EXPECT_EQ(boxes.back().text, row.text);
        EXPECT_EQ(boxes.back().style, row.style);
        EXPECT_EQ(boxes.back().caption, ApplicationName());
    } else {
        EXPECT_EQ(boxes.size(), boxesBefore);
    }

    // Within its bound.
    SteadyClock::time_point from = pressed;
    if (row.fromHangUp) {
        const auto hungUp = scanner.HungUpAt();
        ASSERT_TRUE(hungUp.has_value()) << "the scanner never hung up";
        from = *hungUp;
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(returned - from).count();
    EXPECT_GE(took, row.minMs);
    EXPECT_LE(took, row.maxMs);

    // The port at the box, and after the handler.
    if (!row.text.empty()) {
        ASSERT_TRUE(atBox.seen);
        EXPECT_TRUE(atBox.progressGone) << "a progress window was still up under the box";
        switch (row.port) {
        case PortAtBox::NeverOpened:
            EXPECT_EQ(atBox.held, 0);
            EXPECT_EQ(scanner.With([](sim::ScannerModel& m) { return m.Record().bytesReceived; }), bytesBefore);
            break;
        case PortAtBox::Closed:
            EXPECT_EQ(atBox.held, 0);
            EXPECT_TRUE(atBox.opensAgain) << "the port was still held when the box came up";
            break;
        case PortAtBox::StillOpen:
            EXPECT_EQ(atBox.held, 1);
            EXPECT_FALSE(atBox.opensAgain) << "the port was closed before the box";
            break;
        case PortAtBox::Gone:
            EXPECT_EQ(atBox.held, 0);
            break;
        }
    }
    EXPECT_EQ(scanner.HeldHere(), 0);
    holder.reset();
    if (row.port != PortAtBox::Gone) {
        EXPECT_TRUE(scanner.CanOpenExclusively());
    }

    // No progress window, no wait cursor, and the controls of the outcome.
    for (const auto* progress : app.windows.DialogsFrom(IDD_PROGRESS)) {
        EXPECT_TRUE(progress->destroyed);
    }
    EXPECT_FALSE(app.windows.IsWaitCursorOn());
    EXPECT_EQ(app.windows.UnbalancedWaitCursorEnds(), 0);
    EXPECT_EQ(app.windows.WaitCursorBegins(), row.handler == Handler::Update ? 1 : 0);

    const bool allowedTest = row.outcome != Outcome::TestFailed;
    const bool done = row.outcome == Outcome::UpdateDone;
    EXPECT_EQ(app.Enabled(IDC_TEST), !allowedTest);
    EXPECT_EQ(app.Enabled(IDC_UPDATE), allowedTest && !done);
    EXPECT_EQ(app.Enabled(IDC_PORT_LIST), !allowedTest || done);
    EXPECT_EQ(app.Main().Control(IDC_DONE_TEXT)->visible, done);
    EXPECT_EQ(app.Main().Control(IDC_VERSION_TEXT)->text, allowedTest ? kBanner13 : kInitialBanner);

    if (row.check != nullptr) {
        scanner.With([&](sim::ScannerModel& m) { row.check(m); });
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
