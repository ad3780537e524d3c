#include "ScannerModel.h"

#include "protocol/CPacket.h"
#include "protocol/Protocol.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;
constexpr std::uint8_t SYNC = 'U';
constexpr std::uint8_t HEADER_START = 'f';

std::uint64_t MsToNs(std::uint64_t ms)
{
    return ms >= UINT64_MAX / kNsPerMs ? UINT64_MAX : ms * kNsPerMs;
}

std::string Hex(std::span<const std::uint8_t> bytes, std::size_t max = 16)
{
    std::string out;
    char three[4];
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        std::snprintf(three, sizeof(three), i == 0 ? "%02X" : " %02X", bytes[i]);
        out += three;
    }
    if (bytes.size() > max) {
        out += " ...";
    }
    return out;
}

std::string ByteName(std::uint8_t b)
{
    switch (b) {
    case ACK:
        return "ACK";
    case NAK:
        return "NAK";
    case BEL:
        return "BEL";
    default: {
        char text[8];
        std::snprintf(text, sizeof(text), "0x%02X", b);
        return text;
    }
    }
}

std::uint8_t RequestCode(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Enq:
        return ENQ;
    case RequestKind::Version:
        return 'V';
    case RequestKind::Read:
        return 'R';
    case RequestKind::Write:
        return 'W';
    case RequestKind::Data:
        return 'D';
    case RequestKind::Erase:
        return 'E';
    case RequestKind::Unknown:
        break;
    }
    return 0;
}

std::string Describe(const ScannerRecord::Request& r)
{
    char text[96];
    switch (r.kind) {
    case RequestKind::Read:
        std::snprintf(text, sizeof(text), "READ folder %d address 0x%04X count %d", r.folder, r.address, r.count);
        break;
    case RequestKind::Write:
        std::snprintf(text, sizeof(text), "WRITE folder %d count %d", r.folder, r.count);
        break;
    case RequestKind::Erase:
        std::snprintf(text, sizeof(text), "ERASE folder %d", r.folder);
        break;
    case RequestKind::Data:
        std::snprintf(text, sizeof(text), "DATA %d bytes", r.count);
        break;
    case RequestKind::Unknown:
        return "unknown request " + Hex(r.bytes);
    default:
        return RequestKindName(r.kind);
    }
    return text;
}

int Word(std::uint8_t high, std::uint8_t low)
{
    return (high << 8) | low;
}

}  // namespace

const char* RequestKindName(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Enq:
        return "ENQ";
    case RequestKind::Version:
        return "VERSION";
    case RequestKind::Read:
        return "READ";
    case RequestKind::Write:
        return "WRITE";
    case RequestKind::Data:
        return "DATA";
    case RequestKind::Erase:
        return "ERASE";
    case RequestKind::Unknown:
        break;
    }
    return "unknown";
}

ScannerModel::ScannerModel(ScannerConfig config, std::uint64_t now)
    : m_config(std::move(config)), m_charNs(10'000'000'000ULL / std::max<std::uint32_t>(m_config.baud, 1))
{
    m_pcLineNs = m_txNs = m_lastRxNs = MsToNs(now);
    if (m_config.mode == ScannerMode::Update) {
        EnterUpdateMode(now);
    }
}

std::uint8_t ScannerModel::VersionByte() const
{
    return static_cast<std::uint8_t>(m_config.version | (m_config.factory ? 0x80 : 0x00));
}

std::uint8_t ScannerModel::ReadByte(int folder, int address, int i)
{
    return static_cast<std::uint8_t>((address + i + folder * 0x11) & 0xFF);
}

void ScannerModel::EnterUpdateMode(std::uint64_t now)
{
    m_update = true;
    m_updateState = UpdateState::AwaitSync;
    m_nextSyncNs = MsToNs(now + m_config.syncDelayMs);
    m_frame.clear();
    m_awaitingPcAnswer = false;
    m_expectData = 0;
}

// --- the line ---------------------------------------------------------------

void ScannerModel::FromPc(std::span<const std::uint8_t> bytes, std::uint64_t now)
{
    const std::uint64_t nowNs = MsToNs(now);
    Pump(nowNs);
    const ScannerFaults& faults = m_config.faults;
    for (const std::uint8_t b : bytes) {
        if (m_record.hungUp) {
            return;
        }
        if (faults.hangupAfter >= 0 && m_record.bytesReceived >= static_cast<std::uint64_t>(faults.hangupAfter)) {
            HangUp(std::max(nowNs, m_pcLineNs));
            return;
        }
        // The cable hands each byte to the scanner and back to the PC once
        // it has crossed the wire.
        const std::uint64_t arrival = std::max(nowNs, m_pcLineNs) + m_charNs;
        m_pcLineNs = arrival;
        if (!faults.noEcho) {
            m_out.emplace(arrival, faults.wrongEcho ? static_cast<std::uint8_t>(b ^ 0x01) : b);
        }
        m_record.bytesReceived++;
        Pump(arrival);
        if (!m_babbled && faults.babble > 0) {
            m_babbled = true;
            Event(arrival, "babbling " + std::to_string(faults.babble) + " bytes");
            std::uint32_t junk = 0x2545F491;
            for (int i = 0; i < faults.babble; ++i) {
                junk = junk * 1664525 + 1013904223;
                Emit(static_cast<std::uint8_t>(junk >> 24), arrival);
            }
        }
        Byte(b, arrival);
    }
    if (!m_record.hungUp && faults.hangupAfter >= 0 &&
        m_record.bytesReceived >= static_cast<std::uint64_t>(faults.hangupAfter)) {
        HangUp(std::max(nowNs, m_pcLineNs));
    }
}

std::vector<std::uint8_t> ScannerModel::ToPc(std::uint64_t now)
{
    Pump(MsToNs(now));
    // A byte counts as arrived in the millisecond it completes.
    const std::uint64_t until = now >= UINT64_MAX / kNsPerMs ? UINT64_MAX : MsToNs(now + 1);
    std::vector<std::uint8_t> out;
    auto it = m_out.begin();
    for (; it != m_out.end() && it->first < until; ++it) {
        out.push_back(it->second);
    }
    m_out.erase(m_out.begin(), it);
    return out;
}

bool ScannerModel::HungUp(std::uint64_t now) const
{
    return m_record.hungUp && m_hangNs / kNsPerMs <= now;
}

std::uint64_t ScannerModel::NextEvent(std::uint64_t /*now*/) const
{
    std::uint64_t next = UINT64_MAX;
    if (!m_out.empty()) {
        next = m_out.begin()->first / kNsPerMs;
    }
    if (m_record.hungUp) {
        next = std::min(next, m_hangNs / kNsPerMs);
    } else if (m_nextSyncNs != UINT64_MAX && !m_config.faults.noSync) {
        next = std::min(next, m_nextSyncNs / kNsPerMs);
    }
    return next;
}

void ScannerModel::PortOpened(std::uint64_t now)
{
    m_pcOpen = true;
    Event(MsToNs(now), "port opened");
    if (m_update && (m_updateState == UpdateState::AwaitSync || m_updateState == UpdateState::AwaitHeader)) {
        // The scanner announces itself again for whoever just arrived.
        m_nextSyncNs = MsToNs(now + m_config.syncDelayMs);
    }
}

void ScannerModel::PortClosed(std::uint64_t now)
{
    m_pcOpen = false;
    const std::uint64_t ns = MsToNs(now);
    Event(ns, "port closed");
    if (m_config.mode == ScannerMode::Auto && !m_update && m_testDone) {
        Event(ns, "switching to update mode");
        EnterUpdateMode(now);
    }
}

void ScannerModel::Pump(std::uint64_t ns)
{
    if (m_record.hungUp) {
        return;
    }
    while (m_update && m_nextSyncNs <= ns && !m_config.faults.noSync &&
           (m_updateState == UpdateState::AwaitSync || m_updateState == UpdateState::AwaitHeader)) {
        const std::uint64_t at = m_nextSyncNs;
        m_nextSyncNs = m_config.syncRepeatMs != 0 ? at + MsToNs(m_config.syncRepeatMs) : UINT64_MAX;
        SendSync(at);
    }
}

std::uint64_t ScannerModel::Emit(std::uint8_t b, std::uint64_t ns)
{
    const std::uint64_t arrival = std::max(ns, m_txNs) + m_charNs;
    m_txNs = arrival;
    m_out.emplace(arrival, b);
    return arrival;
}

void ScannerModel::HangUp(std::uint64_t ns)
{
    m_record.hungUp = true;
    m_hangNs = ns;
    m_out.erase(m_out.upper_bound(ns), m_out.end());
    Event(ns, "hanging up after " + std::to_string(m_record.bytesReceived) + " bytes received");
}

void ScannerModel::Event(std::uint64_t ns, const std::string& text)
{
    if (m_listener) {
        m_listener(ns / kNsPerMs, text);
    }
}

bool ScannerModel::Targeted(RequestKind kind) const
{
    const std::uint8_t target = m_config.faults.target;
    return target == 0 || target == RequestCode(kind);
}

bool ScannerModel::Strike(int& count)
{
    if (count <= 0) {
        return false;
    }
    if (count != ScannerFaults::kAlways) {
        --count;
    }
    return true;
}

void ScannerModel::Byte(std::uint8_t b, std::uint64_t ns)
{
    if (m_update) {
        UpdateByte(b, ns);
    } else {
        NormalByte(b, ns);
    }
}

// --- normal mode --------------------------------------------------------------

void ScannerModel::NormalByte(std::uint8_t b, std::uint64_t ns)
{
    const std::uint64_t gap = ns - std::min(ns, m_lastRxNs);
    m_lastRxNs = ns;
    if (!m_frame.empty() && gap > MsToNs(m_config.frameGapMs)) {
        // The PC gave up on this frame; a real scanner's receiver times out.
        Event(ns, "incomplete frame dropped: " + Hex(m_frame));
        m_record.strayBytes += m_frame.size();
        m_frame.clear();
    }

    if (!m_frame.empty()) {
        m_frame.push_back(b);
        if (m_frameLength == 0 && m_frame.size() == 2) {
            switch (b) {
            case 'R':
                m_frameLength = 9;
                break;
            case 'W':
                m_frameLength = 7;
                break;
            case 'E':
                m_frameLength = 5;
                break;
            default: {
                ScannerRecord::Request request;
                request.bytes = m_frame;
                m_frame.clear();
                Answer(std::move(request), ns);
                return;
            }
            }
        }
        if (m_frame.size() == m_frameLength) {
            FinishFrame(ns);
        }
        return;
    }

    if (m_awaitingPcAnswer && (b == ACK || b == NAK)) {
        m_record.pcAnswers.push_back(b);
        if (b == ACK) {
            m_awaitingPcAnswer = false;
            if (m_replyKind == RequestKind::Version) {
                m_testDone = true;
            }
            Event(ns, "PC ACK");
        } else {
            Event(ns, "PC NAK: sending the reply again");
            SendReply(ns + MsToNs(m_config.latencyMs));
        }
        return;
    }
    m_awaitingPcAnswer = false;

    ScannerRecord::Request request;
    request.bytes = {b};
    switch (b) {
    case ENQ:
        request.kind = RequestKind::Enq;
        request.good = true;
        break;
    case 'V':
        request.kind = RequestKind::Version;
        request.good = true;
        break;
    case STX:
        m_frame = {b};
        m_frameLength = m_expectData > 0 ? static_cast<std::size_t>(m_expectData) + 3 : 0;
        return;
    case ACK:
    case NAK:
        // An acknowledgement nobody asked for is not a request.
        m_record.strayBytes++;
        Event(ns, "stray " + ByteName(b) + " from the PC");
        return;
    default:
        break;
    }
    Answer(std::move(request), ns);
}

void ScannerModel::FinishFrame(std::uint64_t ns)
{
    ScannerRecord::Request r;
    r.bytes = std::move(m_frame);
    m_frame.clear();
    const auto& f = r.bytes;
    const bool frameOk = FrameIsGood(f);
    const auto folder = [&](std::uint8_t digit) {
        return digit >= '0' && digit <= '0' + 10 ? digit - '0' : -1;
    };
    if (m_expectData > 0) {
        r.kind = RequestKind::Data;
        r.count = static_cast<int>(f.size()) - 3;
        r.good = frameOk;
    } else {
        switch (f[1]) {
        case 'R':
            r.kind = RequestKind::Read;
            r.folder = folder(f[2]);
            r.address = Word(f[3], f[4]);
            r.count = Word(f[5], f[6]);
            r.good = frameOk && r.folder >= 0 && r.address < FOLDER_SIZE && r.count >= 1 &&
                     r.count <= FOLDER_SIZE - r.address;
            break;
        case 'W':
            r.kind = RequestKind::Write;
            r.folder = folder(f[2]);
            r.count = Word(f[3], f[4]);
            r.good = frameOk && r.folder >= 0 && r.count >= 1 && r.count <= FOLDER_SIZE;
            break;
        default:
            r.kind = RequestKind::Erase;
            r.folder = folder(f[2]);
            r.good = frameOk && r.folder >= 0;
            break;
        }
    }
    Answer(std::move(r), ns);
}

void ScannerModel::Answer(ScannerRecord::Request request, std::uint64_t ns)
{
    ScannerFaults& faults = m_config.faults;
    request.at = ns / kNsPerMs;
    const bool targeted = Targeted(request.kind);
    const std::string what = Describe(request);
    const std::uint64_t answerAt = ns + MsToNs(m_config.latencyMs);

    const auto finish = [&](std::optional<std::uint8_t> answer, const std::string& how) {
        request.answer = answer;
        Event(ns, what + " -> " + how);
        m_record.requests.push_back(std::move(request));
    };

    if (targeted && Strike(faults.silence)) {
        finish(std::nullopt, "(silent)");
        return;
    }
    if (!request.good) {
        Emit(NAK, answerAt);
        finish(NAK, "NAK (bad request)");
        return;
    }
    std::optional<std::uint8_t> refusal;
    if (targeted && Strike(faults.nak)) {
        refusal = NAK;
    } else if (targeted && Strike(faults.bel)) {
        refusal = BEL;
    } else if (targeted && Strike(faults.stray)) {
        refusal = faults.strayByte;
    }
    if (refusal) {
        Emit(*refusal, answerAt);
        finish(*refusal, ByteName(*refusal));
        return;
    }

    const std::uint64_t ackAt = answerAt + (targeted ? MsToNs(faults.slowAckMs) : 0);
    const std::uint64_t ackArrival = Emit(ACK, ackAt);
    std::string how = "ACK";
    switch (request.kind) {
    case RequestKind::Version:
    case RequestKind::Read:
        if (request.kind == RequestKind::Version) {
            m_reply = {STX, m_config.replyByte1, VersionByte(), ETX, 0};
        } else {
            m_reply.assign(static_cast<std::size_t>(request.count) + 3, 0);
            m_reply.front() = STX;
            for (int i = 0; i < request.count; ++i) {
                m_reply[1 + i] = ReadByte(request.folder, request.address, i);
            }
            m_reply[m_reply.size() - 2] = ETX;
        }
        m_reply.back() = FrameChecksum(std::span(m_reply).subspan(1, m_reply.size() - 2));
        m_replyKind = request.kind;
        m_awaitingPcAnswer = true;
        how += ", reply " + Hex(m_reply);
        SendReply(ackArrival + (targeted ? MsToNs(faults.slowReplyMs) : 0));
        break;
    case RequestKind::Write:
        m_expectData = request.count;
        break;
    case RequestKind::Data:
        m_expectData = 0;
        break;
    default:
        break;
    }
    finish(ACK, how);
}

void ScannerModel::SendReply(std::uint64_t ns)
{
    ScannerFaults& faults = m_config.faults;
    const bool targeted = Targeted(m_replyKind);
    std::vector<std::uint8_t> frame = m_reply;
    if (targeted && Strike(faults.badChecksum)) {
        frame.back() = static_cast<std::uint8_t>(frame.back() + 1);
        Event(ns, "reply sent with a bad checksum");
    }
    const std::size_t split =
        targeted && faults.splitAt > 0 ? std::min(frame.size(), static_cast<std::size_t>(faults.splitAt)) : frame.size();
    std::uint64_t at = ns;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i == split) {
            at = m_txNs + MsToNs(faults.pieceGapMs);
        }
        Emit(frame[i], at);
    }
}

// --- update mode ----------------------------------------------------------------

void ScannerModel::SendSync(std::uint64_t ns)
{
    for (int i = 0; i < m_config.faults.syncNoise; ++i) {
        Emit(static_cast<std::uint8_t>(0xA0 + i * 7), ns);
    }
    Emit(SYNC, ns);
    m_record.syncsSent++;
    m_updateState = UpdateState::AwaitHeader;
    if (m_pcOpen) {
        Event(ns, "sync 'U' sent");
    }
}

void ScannerModel::UpdateByte(std::uint8_t b, std::uint64_t ns)
{
    switch (m_updateState) {
    case UpdateState::AwaitSync:
        m_record.strayBytes++;
        return;
    case UpdateState::AwaitHeader:
        if (b == HEADER_START) {
            m_record.header = {b};
            m_updateState = UpdateState::Header;
        } else {
            m_record.strayBytes++;
        }
        return;
    case UpdateState::Header: {
        auto& h = m_record.header;
        h.push_back(b);
        if (h.size() < 6) {
            return;
        }
        const bool good = h[1] == STX && h[4] == ETX && h[5] == FrameChecksum(std::span(h).subspan(2, 3));
        if (!good) {
            m_record.badHeaders++;
            m_updateState = UpdateState::AwaitHeader;
            Event(ns, "bad header " + Hex(h));
            return;
        }
        m_record.headerGood = true;
        m_record.headerWords = static_cast<std::uint32_t>(Word(h[2], h[3]));
        m_updateState = UpdateState::Image;
        m_nextSyncNs = UINT64_MAX;
        Event(ns, "header " + Hex(h) + ": " + std::to_string(m_record.headerWords) + " words (" +
                      std::to_string(2 * m_record.headerWords) + " bytes)");
        if (m_record.headerWords == 0) {
            Event(ns, "image complete: 0 bytes");
        }
        return;
    }
    case UpdateState::Image:
        if (m_record.image.size() < ScannerRecord::kImageKeep) {
            m_record.image.push_back(b);
        }
        m_digest.Update(std::span(&b, 1));
        m_record.imageBytes++;
        if (m_record.imageBytes == 1) {
            Event(ns, "image started");
        }
        if (m_record.imageBytes == 2ULL * m_record.headerWords) {
            Event(ns, "image complete: " + std::to_string(m_record.imageBytes) + " bytes, sha256 " + ImageDigest());
        }
        return;
    }
}

bool ScannerModel::ImageComplete() const
{
    return m_record.headerGood && m_record.imageBytes >= 2ULL * m_record.headerWords;
}

std::optional<std::uint64_t> ScannerModel::FirstDifference(std::span<const std::uint8_t> expected) const
{
    const auto& image = m_record.image;
    const std::size_t common = std::min(image.size(), expected.size());
    const auto mismatch = std::mismatch(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(common),
                                        expected.begin());
    if (mismatch.first != image.begin() + static_cast<std::ptrdiff_t>(common)) {
        return static_cast<std::uint64_t>(mismatch.first - image.begin());
    }
    if (m_record.imageBytes != expected.size()) {
        return std::min<std::uint64_t>(m_record.imageBytes, expected.size());
    }
    return std::nullopt;
}

std::vector<std::string> ScannerModel::Summary() const
{
    std::vector<std::string> lines;
    const auto& r = m_record;

    std::string requests = "requests: " + std::to_string(r.requests.size());
    if (!r.requests.empty()) {
        std::map<std::string, int> byKind;
        int bad = 0;
        for (const auto& q : r.requests) {
            byKind[RequestKindName(q.kind)]++;
            bad += q.good ? 0 : 1;
        }
        std::string parts;
        for (const auto& [name, n] : byKind) {
            parts += (parts.empty() ? "" : ", ") + name + " " + std::to_string(n);
        }
        if (bad > 0) {
            parts += ", bad " + std::to_string(bad);
        }
        requests += " (" + parts + ")";
    }
    lines.push_back(requests);

    const auto acks = std::count(r.pcAnswers.begin(), r.pcAnswers.end(), ACK);
    lines.push_back("PC answers: ACK " + std::to_string(acks) + ", NAK " +
                    std::to_string(static_cast<long>(r.pcAnswers.size()) - acks));
    lines.push_back("bytes received: " + std::to_string(r.bytesReceived));

    if (m_update || r.syncsSent > 0 || !r.header.empty()) {
        lines.push_back("syncs sent: " + std::to_string(r.syncsSent));
        if (r.header.empty()) {
            lines.push_back("header: none");
        } else if (r.headerGood) {
            lines.push_back("header: " + Hex(r.header) + " (good: " + std::to_string(r.headerWords) + " words, " +
                            std::to_string(2 * r.headerWords) + " bytes)");
        } else {
            lines.push_back("header: " + Hex(r.header) + " (bad)");
        }
        lines.push_back("image: " + std::to_string(r.imageBytes) + " bytes, sha256 " + ImageDigest());
        if (m_expected) {
            const auto diff = FirstDifference(*m_expected);
            if (!diff) {
                lines.push_back("image matches the expected payload (" + std::to_string(m_expected->size()) +
                                " bytes)");
            } else {
                lines.push_back("image does NOT match the expected payload: first difference at byte " +
                                std::to_string(*diff) + " (received " + std::to_string(r.imageBytes) +
                                " bytes, expected " + std::to_string(m_expected->size()) + ")");
            }
        }
    }
    if (r.hungUp) {
        lines.push_back("hung up after " + std::to_string(r.bytesReceived) + " bytes received");
    }
    return lines;
}

}  // namespace sim
