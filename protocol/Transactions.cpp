#include "Transactions.h"

#include "CPacket.h"
#include "Protocol.h"
#include "UpdaterState.h"
#include "platform/Services.h"
#include "serial/CSerial.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

enum EngineState {
    ENGINE_SETTLE,
    ENGINE_NEXT_PACKET,
    ENGINE_SEND,
    ENGINE_WAIT_ACK,
    ENGINE_START_REPLY,
    ENGINE_RECEIVE_REPLY,
    ENGINE_ACK_REPLY,
    ENGINE_NAK_REPLY,
    ENGINE_FAIL,
};

constexpr std::int32_t MAX_CHUNK = 100;
constexpr std::uint32_t WRITE_LIMIT_MS = 5000;
constexpr std::uint32_t ECHO_LIMIT_MS = 1000;
constexpr std::uint32_t READ_LIMIT_MS = 100;
constexpr std::uint32_t SETTLE_MS = 200;
constexpr std::uint32_t POLL_MS = 4;

// A port whose writes keep sending nothing (cable pulled, device gone) ends
// the run once such writes have gone on for longer than one write limit.
constexpr std::uint32_t DEAD_WRITE_LIMIT_MS = WRITE_LIMIT_MS;

std::uint32_t AckLimit(const CPacket& packet)
{
    return (packet.m_nType == PACKET_WRITE || packet.m_nType == PACKET_ERASE) ? 10000 : 1000;
}

std::uint32_t ReplyLimit(const CPacket& packet)
{
    if (packet.m_nType == PACKET_READ) {
        return static_cast<std::uint32_t>(packet.m_nCount * 2000 / 1920 + 1000);
    }
    return 1000;
}

bool ExpectsAck(PacketType type)
{
    switch (type) {
    case PACKET_ENQ:
    case PACKET_VERSION:
    case PACKET_READ:
    case PACKET_WRITE:
    case PACKET_DATA:
    case PACKET_ERASE:
        return true;
    default:
        return false;
    }
}

// One run of the engine: the run state lives here and is released when the
// run ends, whichever way it ends.
class Run {
public:
    Run(CSerial& port, CUpdaterState& state) : m_port(port), m_state(state), m_clock(platform::CurrentClock()) {}

    TransactionResult Go()
    {
        EngineState s = ENGINE_SETTLE;
        while (s != ENGINE_FAIL) {
            switch (s) {
            case ENGINE_SETTLE:
                try {
                    m_clock.Sleep(SETTLE_MS);
                    m_port.PurgeInput();
                } catch (...) {
                    return RESULT_OK;
                }
                s = ENGINE_NEXT_PACKET;
                break;
            case ENGINE_NEXT_PACKET:
                m_packet.reset();
                if (m_state.m_packets.empty()) {
                    return RESULT_OK;
                }
                m_request.reset();
                m_packet = std::move(m_state.m_packets.front());
                m_state.m_packets.pop_front();
                if (!m_packet) {
                    break;  // an empty entry: nothing to send
                }
                m_request = m_packet->Encode();
                m_requestLength = m_request ? m_packet->RequestLength() : 0;
                m_sent = 0;
                m_deadWrites = 0;
                s = ENGINE_SEND;
                break;
            case ENGINE_SEND:
                s = Send();
                break;
            case ENGINE_WAIT_ACK:
                s = WaitAck();
                break;
            case ENGINE_START_REPLY:
                m_reply.assign(static_cast<std::size_t>(std::max(m_packet->ReplyLength(), 0)), 0);
                m_received = 0;
                m_clockStart = m_clock.TickCount();
                s = ENGINE_RECEIVE_REPLY;
                break;
            case ENGINE_RECEIVE_REPLY:
                s = ReceiveReply();
                break;
            case ENGINE_ACK_REPLY:
                s = SendControl(ACK) ? ENGINE_NEXT_PACKET : Fail(RESULT_READBACK_FAILED);
                break;
            case ENGINE_NAK_REPLY:
                if (CountFailure()) {
                    SendControl(ACK);
                    s = Fail(RESULT_NO_RESPONSE);
                } else {
                    s = SendControl(NAK) ? ENGINE_START_REPLY : Fail(RESULT_READBACK_FAILED);
                }
                break;
            case ENGINE_FAIL:
                break;
            }
        }
        return m_result;
    }

private:
    EngineState Fail(TransactionResult result)
    {
        m_result = result;
        return ENGINE_FAIL;
    }

    // Adds a failed attempt to the current packet; true when that used up
    // the attempts it is allowed.
    bool CountFailure()
    {
        m_packet->m_nRetries += 1;
        return m_packet->m_nRetries >= m_packet->m_nRetryLimit;
    }

    bool Exceeded(std::uint32_t limit) { return m_clock.TickCount() - m_clockStart > limit; }

    EngineState Send()
    {
        if (m_sent < m_requestLength) {
            const std::int32_t n = std::min(m_requestLength - m_sent, MAX_CHUNK);
            const std::uint8_t* chunk = m_request.get() + m_sent;
            const std::uint32_t before = m_clock.TickCount();
            const std::int32_t k = m_port.Write(chunk, n, WRITE_LIMIT_MS);
            if (k > 0) {
                m_deadWrites = 0;
                if (!m_port.ReadBack(chunk, k, 1, ECHO_LIMIT_MS)) {
                    return Fail(RESULT_READBACK_FAILED);
                }
                m_sent += k;
            } else {
                if (m_deadWrites++ == 0) {
                    m_deadSince = before;
                }
                m_clock.Sleep(POLL_MS);
                // Nothing goes out: the bytes can never come back either.
                if (m_clock.TickCount() - m_deadSince > DEAD_WRITE_LIMIT_MS) {
                    return Fail(RESULT_READBACK_FAILED);
                }
            }
            if (m_sent < m_requestLength) {
                return ENGINE_SEND;
            }
        }
        if (ExpectsAck(m_packet->m_nType) && m_request) {
            m_clockStart = m_clock.TickCount();
            return ENGINE_WAIT_ACK;
        }
        return ENGINE_NEXT_PACKET;
    }

    EngineState WaitAck()
    {
        if (Exceeded(AckLimit(*m_packet))) {
            if (CountFailure()) {
                return Fail(RESULT_NO_RESPONSE);
            }
            return Resend();
        }
        if (m_port.BytesWaiting() == 0) {
            m_clock.Sleep(POLL_MS);
            return ENGINE_WAIT_ACK;
        }
        std::uint8_t answer = 0;
        if (m_port.Read(&answer, 1, READ_LIMIT_MS) != 1) {
            return Fail(RESULT_NO_RESPONSE);
        }
        switch (answer) {
        case ACK:
            return (m_packet->m_nType == PACKET_VERSION || m_packet->m_nType == PACKET_READ) ? ENGINE_START_REPLY
                                                                                            : ENGINE_NEXT_PACKET;
        case BEL:
            return Fail(RESULT_FLASH_ERROR);
        case NAK:
            if (CountFailure()) {
                return Fail(RESULT_SCANNER_ERROR);
            }
            return Resend();
        default:
            return Fail(RESULT_SCANNER_ERROR);
        }
    }

    EngineState Resend()
    {
        m_sent = 0;
        m_deadWrites = 0;
        return ENGINE_SEND;
    }

    EngineState ReceiveReply()
    {
        if (Exceeded(ReplyLimit(*m_packet))) {
            return Fail(RESULT_NO_RESPONSE);
        }
        const std::int32_t k = m_port.BytesWaiting();
        if (k == 0) {
            m_clock.Sleep(POLL_MS);
            return ENGINE_RECEIVE_REPLY;
        }
        const auto length = static_cast<std::int32_t>(m_reply.size());
        const std::int32_t n = std::min(k, length - m_received);
        if (m_port.Read(m_reply.data() + m_received, n, READ_LIMIT_MS) != n) {
            return Fail(RESULT_NO_RESPONSE);
        }
        if (k == 1 && m_received == 0 && m_reply[0] == NAK) {
            return Fail(RESULT_SCANNER_ERROR);
        }
        m_received += n;
        if (m_received < length) {
            return ENGINE_RECEIVE_REPLY;
        }
        if (!FrameIsGood(m_reply)) {
            return ENGINE_NAK_REPLY;
        }
        if (m_packet->m_nType == PACKET_VERSION) {
            m_state.m_nReplyByte1 = m_reply[1];
            m_state.m_nScannerVersion = m_reply[2] & 0x7F;
            m_state.m_bFactory = (m_reply[2] & 0x80) != 0;
        }
        return ENGINE_ACK_REPLY;
    }

    // Writes a single acknowledgement byte and proves it by its echo.
    bool SendControl(std::uint8_t byte)
    {
        m_port.Write(&byte, 1, WRITE_LIMIT_MS);
        return m_port.ReadBack(&byte, 1, 1, ECHO_LIMIT_MS);
    }

    CSerial& m_port;
    CUpdaterState& m_state;
    platform::Clock& m_clock;

    std::unique_ptr<CPacket> m_packet;
    std::unique_ptr<std::uint8_t[]> m_request;
    std::int32_t m_requestLength = 0;
    std::int32_t m_sent = 0;
    std::uint32_t m_clockStart = 0;
    std::int32_t m_deadWrites = 0;
    std::uint32_t m_deadSince = 0;
    std::vector<std::uint8_t> m_reply;
    std::int32_t m_received = 0;
    TransactionResult m_result = RESULT_OK;
};

}  // namespace

TransactionResult RunTransactions(CSerial& port, CUpdaterState& state)
{
    Run run(port, state);
    return run.Go();
}

std::string TransactionResultText(TransactionResult result)
{
    switch (result) {
    case RESULT_READBACK_FAILED:
        return "Failed to read back the sent data (as expected with a functional\ncable!).\n"
               "Ensure that the selected COM port is correct, a supported cable\n"
               "is connected between the port and the scanner, and the scanner\nis turned ON.";
    case RESULT_NO_RESPONSE:
        return "No response (or incomplete response) from the scanner.\n"
               "Ensure that the selected COM port is correct, a supported cable\n"
               "is connected between the port and the scanner, and the scanner\nis turned ON.";
    case RESULT_SCANNER_ERROR:
        return "Received an error message from the scanner. Retrying the\noperation may be successful.";
    case RESULT_FLASH_ERROR:
        return "The scanner reports an error while attempting to write a\n"
               "folder's flash memory space. Retrying the operation may\nbe successful.";
    default:
        return {};
    }
}
