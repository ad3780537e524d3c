// The transaction engine and the serial port object on a real pseudo-terminal,
// with the scanner model served on its master side, in real time.

#include "support/PtyPc.h"

#include "protocol/Protocol.h"
#include "protocol/Transactions.h"
#include "protocol/UpdaterState.h"
#include "serial/CSerial.h"
#include "sim/PtyServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace {

constexpr int kPort = 5;

class EnginePty : public testing::Test {
protected:
    void Serve(sim::ScannerConfig config)
    {
        m_model = std::make_unique<sim::ScannerModel>(std::move(config));
        m_server = std::make_unique<sim::PtyServer>(*m_model);
        sim::PtyServer::Options options;
        options.port = kPort;
        std::string error;
        ASSERT_TRUE(m_server->Start(options, error)) << error;
        m_thread = std::thread([this] { m_reason = m_server->Serve(); });
    }

    void TearDown() override
    {
        if (m_server) {
            m_server->RequestStop();
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // Opens COM<kPort> as the connection test does; null when the platform
    // cannot open it.
    std::unique_ptr<CSerial> OpenPort()
    {
        try {
            return std::make_unique<CSerial>(("\\\\.\\COM" + std::to_string(kPort)).c_str(), 19200, 'N', 8, 1, true,
                                             false);
        } catch (...) {
            return nullptr;
        }
    }

    void QueueTest()
    {
        m_state.ClearPacketQueue();
        m_state.m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
        m_state.m_packets.push_back(std::make_unique<CPacket>(PACKET_VERSION));
    }

    test::ScopedConfigHome m_home;  // the product finds COM<n> through this port map
    std::unique_ptr<sim::ScannerModel> m_model;
    std::unique_ptr<sim::PtyServer> m_server;
    std::thread m_thread;
    std::optional<sim::PtyServer::StopReason> m_reason;
    CUpdaterState m_state;
};

#define OPEN_OR_SKIP(port)                                                                                   \
    auto port = OpenPort();                                                                                  \
    if (!port) {                                                                                             \
        GTEST_SKIP() << "COM" << kPort << " (a pseudo-terminal linked in the port map) did not open: "     \
                     << "this build has no serial backend for this system";                                  \
    }

TEST_F(EnginePty, WholeTestRunDeliversTheVersion)
{
    sim::ScannerConfig config;
    config.version = 0x14;
    config.factory = true;
    Serve(config);
    OPEN_OR_SKIP(port);

    QueueTest();
    EXPECT_EQ(RunTransactions(*port, m_state), RESULT_OK);
    port.reset();
    EXPECT_EQ(m_state.m_nReplyByte1, 1);
    EXPECT_EQ(m_state.m_nScannerVersion, 0x14);
    EXPECT_TRUE(m_state.m_bFactory);

    m_server->WithModel([](sim::ScannerModel& model) {
        const auto& r = model.Record();
        EXPECT_EQ(r.requests.size(), 2u);
        EXPECT_EQ(r.pcAnswers, std::vector<std::uint8_t>{ACK});
        return 0;
    });
}

TEST_F(EnginePty, FarSideHangingUpEndsTheRunWithinItsBounds)
{
    sim::ScannerConfig config;
    config.faults.hangupAfter = 2;  // gone as the VERSION request arrives
    Serve(config);
    OPEN_OR_SKIP(port);

    QueueTest();
    const auto start = std::chrono::steady_clock::now();
    const TransactionResult result = RunTransactions(*port, m_state);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_NE(result, RESULT_OK);
    // Settling, then at worst three acknowledgement waits of a second.
    EXPECT_LT(elapsed, std::chrono::milliseconds(200 + 3 * 1000 + 1500));
    EXPECT_EQ(m_state.m_nScannerVersion, 0);
    port.reset();

    m_thread.join();
    EXPECT_EQ(m_reason, sim::PtyServer::StopReason::HungUp);
}

}  // namespace
