// Feeds arbitrary scanner byte streams to the transaction engine through the
// in-memory line, in virtual time. Whatever the line says, a run must end,
// within the sum of its limits, without touching memory it does not own.
//
// Input layout: byte 0 picks the cable (echo, none, wrong) and the requests
// queued; byte 1 a hang-up time; the rest is a timeline of pieces, each
// [delay in 8 ms steps][length 0..31 in the low bits][bytes...].
#include "platform/Services.h"
#include "platform/fake/FakeCommDevice.h"
#include "platform/fake/VirtualClock.h"
#include "protocol/Transactions.h"
#include "protocol/UpdaterState.h"
#include "serial/CSerial.h"
#include "support/ScriptedPeer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Queue(CUpdaterState& state, PacketType type, int folder = -1, int address = -1, int count = -1)
{
    auto p = std::make_unique<CPacket>(type);
    p->m_nFolder = folder;
    p->m_nAddress = address;
    p->m_nCount = count;
    if (type == PACKET_DATA && count > 0) {
        p->m_pData = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(count));
    }
    state.m_packets.push_back(std::move(p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    platform::fake::VirtualClock clock(static_cast<std::uint32_t>(0xFFFFFF00u + data[1]));
    testing_support::ScriptedPeer peer;
    platform::fake::FakeCommPorts ports(clock, peer);
    platform::ScopedServices services(clock, ports);

    const std::uint8_t mode = data[0];
    peer.echo = (mode & 3) == 1 ? testing_support::ScriptedPeer::Echo::None
              : (mode & 3) == 2 ? testing_support::ScriptedPeer::Echo::Wrong
                                : testing_support::ScriptedPeer::Echo::Normal;
    if (data[1] & 0x80) {
        peer.hangUpAt = 200u + (data[1] & 0x7F) * 50u;
    }

    CUpdaterState state;
    Queue(state, PACKET_ENQ);
    Queue(state, PACKET_VERSION);
    if (mode & 0x04) {
        Queue(state, PACKET_READ, 1, 0, 1 + (mode >> 4) * 7);
    }
    if (mode & 0x08) {
        Queue(state, PACKET_WRITE, 2, -1, 16);
        Queue(state, PACKET_DATA, -1, -1, 16 + (mode >> 4) * 13);
        Queue(state, PACKET_ERASE, 3);
    }

    std::uint64_t at = 200;
    for (std::size_t i = 2; i < size;) {
        const std::uint8_t head = data[i++];
        at += static_cast<std::uint64_t>(head >> 5) * 8u;
        const std::size_t length = std::min<std::size_t>(head & 0x1F, size - i);
        peer.Send({data + i, data + i + length}, at);
        i += length;
    }

    try {
        CSerial port("\\\\.\\COM1", 19200, 'N', 8, 1, true, false);
        const std::uint64_t start = clock.Now();
        const TransactionResult result = RunTransactions(port, state);
        if (std::getenv("VRT_FUZZ_VERBOSE") != nullptr) {
            std::fprintf(stderr, "result %d after %llu ms\n", result, static_cast<unsigned long long>(clock.Now() - start));
        }
        // Six requests, each allowed three sends of up to 5 s write, 1 s echo
        // and 10 s acknowledgement, plus three replies of at most ~4 s.
        const std::uint64_t bound = 200 + 6 * 3 * (5000 + 1000 + 10000 + 4100 + 2000);
        if (clock.Now() - start > bound) {
            std::fprintf(stderr, "run took %llu virtual ms\n", static_cast<unsigned long long>(clock.Now() - start));
            std::abort();
        }
    } catch (int) {
        // The port failed to open: nothing to run.
    }
    return 0;
}
