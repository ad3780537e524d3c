#pragma once

#include "PtyPc.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// A pseudo-terminal whose slave the product reaches as COM<n>: a temporary
// XDG_CONFIG_HOME holds the port map with the link com<n> to the slave. The
// test plays the far side on the master. Everything is undone on
// destruction, the environment included.
class PtyPort {
public:
    explicit PtyPort(int comNumber = 7);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // "\\.\COM<n>"
    std::string ComPath() const;
    int ComNumber() const { return m_comNumber; }
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& PortMapFolder() const { return m_portMap; }
    int Master() const { return m_master.load(); }

    // Writes all bytes to the master, waiting at most `limit` for room.
    // Returns the count written.
    std::size_t WriteMaster(std::span<const std::uint8_t> bytes,
                            std::chrono::milliseconds limit = std::chrono::milliseconds(1000));
    // Reads from the master until `count` bytes came or `limit` passed.
    std::vector<std::uint8_t> ReadMaster(std::size_t count, std::chrono::milliseconds limit);
    // Hangs up: the slave side sees the far end go away. May run on another
    // thread while nothing else uses the master.
    void CloseMaster();

private:
    int m_comNumber;
    std::atomic<int> m_master{-1};
    std::string m_slavePath;
    test::ScopedConfigHome m_configHome;
    std::string m_portMap;
};

// Runs `serve` on a thread against the master with every chunk the master
// receives, until destroyed; `serve` returns the bytes to send back. The
// master must stay open while it runs.
class PtyResponder {
public:
    using Serve = std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)>;
    PtyResponder(PtyPort& port, Serve serve);
    ~PtyResponder();
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;

    std::size_t Received() const { return m_received; }

private:
    PtyPort& m_port;
    Serve m_serve;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_received{0};
    std::thread m_thread;
};

}  // namespace testing_support
