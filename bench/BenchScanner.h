#pragma once

#include "platform/CommDevice.h"
#include "platform/Services.h"
#include "sim/ScannerModel.h"

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testing_support {
class ServedScanner;
}

// The scanner a benchmark runs against:
// - by default (Linux only) the scanner model served by this process on a
//   pseudo-terminal linked as COM<defaultCom>;
// - with `externalCom` set, a scanner that is already attached as that COM
//   port: vrt58-sim, on Linux through the user's port map, on Windows under
//   Wine through the prefix's port map (bench/run-windows starts it). What
//   such a scanner received is judged from its own summary.
// While the object lives the product's ports are the system's, watched for
// the moment the PC reads the scanner's sync byte.
class BenchScanner {
public:
    using SteadyClock = std::chrono::steady_clock;

    BenchScanner(const sim::ScannerConfig& config, int defaultCom, std::optional<int> externalCom);
    ~BenchScanner();
    BenchScanner(const BenchScanner&) = delete;
    BenchScanner& operator=(const BenchScanner&) = delete;

    bool Started() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    int Com() const { return m_com; }
    // Where the scanner is, for the report.
    std::string Where() const;

    // Waits (up to 5 s) for the scanner to be in update mode after a test.
    // An external scanner cannot be asked: it gets a second, the least a
    // user's restart takes.
    bool WaitForUpdateMode();

    // When the first sync byte 'U' after `since` had reached the PC: the
    // model's own send time plus its character time, or for an external
    // scanner the moment the PC read it.
    std::optional<SteadyClock::time_point> SyncArrival(SteadyClock::time_point since);

    // Whether the whole image arrived intact; an external scanner says so
    // in its own summary, so this is true for it.
    bool ImageIntact(std::span<const std::uint8_t> image);

    // What the scanner saw, for a failure message.
    std::string Log();

    // The system's ports with every read watched for 'U'.
    class WatchedPorts final : public platform::CommPorts {
    public:
        std::unique_ptr<platform::CommDevice> Open(const std::string& path, std::uint32_t& error) override;
        std::vector<SteadyClock::time_point> syncReads;
    };

private:
    int m_com;
    std::string m_error;
#ifndef _WIN32
    std::unique_ptr<testing_support::ServedScanner> m_served;
#endif
    WatchedPorts m_ports;
    platform::ScopedServices m_services;
};
