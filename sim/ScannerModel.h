#pragma once

#include "Sha256.h"
#include "platform/fake/FakeCommDevice.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class ScannerMode {
    Normal,  // answers the packet protocol
    Update,  // DSP update mode: sync 'U', header, raw image
    Auto,    // normal until the PC closes its port after a test, then update
};

// A request as the scanner tells it apart.
enum class RequestKind { Enq, Version, Read, Write, Data, Erase, Unknown };

const char* RequestKindName(RequestKind kind);

// Misbehaviour to switch on. Counts say how many times a fault strikes;
// kAlways keeps it on. Answer faults hit only the requests picked by target.
struct ScannerFaults {
    static constexpr int kAlways = INT_MAX;

    // 0: every request; else the request's code: ENQ, 'V', 'R', 'W', 'E',
    // or 'D' for a DATA frame.
    std::uint8_t target = 0;

    int silence = 0;                // requests left unanswered
    int nak = 0;                    // requests answered NAK instead of ACK
    int bel = 0;                    // ... BEL
    int stray = 0;                  // ... strayByte
    std::uint8_t strayByte = 0x00;
    int badChecksum = 0;            // reply frames sent with a wrong checksum
    int splitAt = 0;                // reply frames sent as splitAt bytes, a
    std::uint32_t pieceGapMs = 50;  // pause, then the rest
    std::uint32_t slowAckMs = 0;    // extra delay before the acknowledgement
    std::uint32_t slowReplyMs = 0;  // extra delay between ACK and reply frame

    bool noEcho = false;    // the cable does not loop the PC's bytes back
    bool wrongEcho = false; // ... loops them back with bit 0 flipped

    int syncNoise = 0;      // junk bytes ahead of each 'U'
    bool noSync = false;    // update mode never sends 'U'

    std::int64_t hangupAfter = -1;  // hang up once this many bytes came in
    int babble = 0;                 // junk bytes flooded from the first byte in
};

struct ScannerConfig {
    ScannerMode mode = ScannerMode::Normal;
    std::uint8_t replyByte1 = 0x01;
    std::uint8_t version = 0x13;
    bool factory = false;             // sets bit 7 of the version byte
    std::uint32_t latencyMs = 2;      // from a request's last byte to the answer
    std::uint32_t syncDelayMs = 200;  // first 'U' after update mode starts or the PC opens
    std::uint32_t syncRepeatMs = 500; // 'U' again while no header came; 0: once
    std::uint32_t frameGapMs = 500;   // a pause this long drops a partial frame
    std::uint32_t baud = 19200;       // 10 bits a character
    ScannerFaults faults;
};

// What the scanner received.
struct ScannerRecord {
    struct Request {
        std::uint64_t at = 0;  // ms, when its last byte arrived
        RequestKind kind = RequestKind::Unknown;
        bool good = false;
        int folder = -1;
        int address = -1;
        int count = -1;
        std::vector<std::uint8_t> bytes;  // as received
        std::optional<std::uint8_t> answer;  // ACK, NAK, BEL or a stray byte
    };

    std::vector<Request> requests;
    std::vector<std::uint8_t> pcAnswers;  // the PC's ACK/NAK after replies
    std::uint64_t bytesReceived = 0;
    std::uint64_t strayBytes = 0;         // bytes no state was waiting for
    int syncsSent = 0;
    std::vector<std::uint8_t> header;     // the last header received
    bool headerGood = false;
    int badHeaders = 0;
    std::uint32_t headerWords = 0;
    std::uint64_t imageBytes = 0;
    std::vector<std::uint8_t> image;      // the first kImageKeep bytes
    bool hungUp = false;

    static constexpr std::size_t kImageKeep = 1 << 20;
};

// The programming cable and the scanner behind it. Times are milliseconds;
// inside, bytes are placed on the line in nanoseconds at the character rate
// so a reply of n bytes takes the time it takes on the wire.
class ScannerModel final : public platform::fake::LinePeer {
public:
    explicit ScannerModel(ScannerConfig config = {}, std::uint64_t now = 0);

    void FromPc(std::span<const std::uint8_t> bytes, std::uint64_t now) override;
    std::vector<std::uint8_t> ToPc(std::uint64_t now) override;
    bool HungUp(std::uint64_t now) const override;
    std::uint64_t NextEvent(std::uint64_t now) const override;
    void PortOpened(std::uint64_t now) override;
    void PortClosed(std::uint64_t now) override;

    // Changes take effect for what happens next.
    ScannerConfig& Config() { return m_config; }
    const ScannerRecord& Record() const { return m_record; }

    bool InUpdateMode() const { return m_update; }
    void EnterUpdateMode(std::uint64_t now);

    // The byte a VERSION reply carries.
    std::uint8_t VersionByte() const;
    // Data byte i of a READ reply at `address` in `folder`.
    static std::uint8_t ReadByte(int folder, int address, int i);

    // The image is complete once the bytes the header announced arrived.
    bool ImageComplete() const;
    std::string ImageDigest() const { return m_digest.Hex(); }
    // Where the received image first differs from `expected` (its length
    // when one is a prefix of the other), or nothing when they are equal.
    std::optional<std::uint64_t> FirstDifference(std::span<const std::uint8_t> expected) const;

    void SetExpectedImage(std::vector<std::uint8_t> expected) { m_expected = std::move(expected); }
    const std::optional<std::vector<std::uint8_t>>& ExpectedImage() const { return m_expected; }

    // One line of text for each thing the scanner saw or did that a person
    // watching the line would want to know.
    void OnEvent(std::function<void(std::uint64_t now, const std::string& text)> listener)
    {
        m_listener = std::move(listener);
    }

    // What was received, a line each: requests, header, image, match.
    std::vector<std::string> Summary() const;

private:
    enum class UpdateState { AwaitSync, AwaitHeader, Header, Image };

    void Pump(std::uint64_t ns);
    void Byte(std::uint8_t b, std::uint64_t ns);
    void NormalByte(std::uint8_t b, std::uint64_t ns);
    void UpdateByte(std::uint8_t b, std::uint64_t ns);
    void FinishFrame(std::uint64_t ns);
    void Answer(ScannerRecord::Request request, std::uint64_t ns);
    void SendReply(std::uint64_t ns);
    void SendSync(std::uint64_t ns);
    void HangUp(std::uint64_t ns);

    // Puts a byte on the scanner's transmit line no earlier than `ns`;
    // returns when it has fully arrived at the PC.
    std::uint64_t Emit(std::uint8_t b, std::uint64_t ns);
    bool Targeted(RequestKind kind) const;
    static bool Strike(int& count);
    void Event(std::uint64_t ns, const std::string& text);

    ScannerConfig m_config;
    ScannerRecord m_record;
    std::uint64_t m_charNs;

    std::multimap<std::uint64_t, std::uint8_t> m_out;  // by arrival at the PC
    std::uint64_t m_pcLineNs = 0;  // the PC's transmit line is free from here
    std::uint64_t m_txNs = 0;      // the scanner's transmit line likewise
    std::uint64_t m_lastRxNs = 0;
    bool m_pcOpen = false;
    std::uint64_t m_hangNs = UINT64_MAX;
    bool m_babbled = false;

    // Normal mode.
    std::vector<std::uint8_t> m_frame;  // a request frame being received
    std::size_t m_frameLength = 0;      // 0 until the kind byte tells
    int m_expectData = 0;               // a WRITE was accepted: its DATA's count
    std::vector<std::uint8_t> m_reply;  // the last reply frame, for a resend
    RequestKind m_replyKind = RequestKind::Unknown;
    bool m_awaitingPcAnswer = false;
    bool m_testDone = false;            // a VERSION reply was acknowledged

    // Update mode.
    bool m_update = false;
    UpdateState m_updateState = UpdateState::AwaitSync;
    std::uint64_t m_nextSyncNs = UINT64_MAX;
    Sha256 m_digest;
    std::optional<std::vector<std::uint8_t>> m_expected;

    std::function<void(std::uint64_t, const std::string&)> m_listener;
};

}  // namespace sim
