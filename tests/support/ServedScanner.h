#pragma once

#include "sim/PtyServer.h"
#include "sim/ScannerModel.h"
#include "support/PtyPc.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// The scanner model served in real time on a pseudo-terminal by a thread of
// its own, linked as com<N> in a port map folder of its own. While the
// object lives XDG_CONFIG_HOME points at that folder's home, so the product,
// with its real serial backend, reaches the scanner as COM<N>.
class ServedScanner {
public:
    using SteadyClock = std::chrono::steady_clock;

    ServedScanner(sim::ScannerConfig config, int comNumber);
    ~ServedScanner();
    ServedScanner(const ServedScanner&) = delete;
    ServedScanner& operator=(const ServedScanner&) = delete;

    bool Started() const { return m_started; }
    const std::string& Error() const { return m_error; }
    int ComNumber() const { return m_comNumber; }
    const std::string& SlavePath() const { return m_server.SlavePath(); }
    // Where the link com<N> is (or was, once the scanner hung up).
    const std::string& LinkPath() const { return m_linkPath; }

    // Runs `fn(model)` while the serving thread keeps its hands off.
    template <class F>
    auto With(F&& fn)
    {
        return m_server.WithModel(std::forward<F>(fn));
    }

    // Polls `done(model)` every few milliseconds for at most `ms`.
    bool WaitUntil(const std::function<bool(sim::ScannerModel&)>& done, int ms);

    // The cable is pulled out of the port map: the link goes, the scanner stays.
    void RemoveLink();

    // When serving ended because the scanner hung up (its pseudo-terminal
    // closed under the PC); nothing while it serves.
    std::optional<SteadyClock::time_point> HungUpAt();

    // How many descriptors of this process hold the scanner's line for
    // exclusive use, as the product's open does (with an flock). The
    // model's server opens the line too, briefly and without a lock, to
    // flush it when the PC lets go: that one is not counted.
    int HeldHere() const;
    // Whether the line can be opened for exclusive use right now, the way
    // the product opens it; it is closed again at once.
    bool CanOpenExclusively() const;

    // What the scanner saw and did, one line each with its model time, for
    // the message of a failing test.
    std::string Log();
    // The moments of the events whose text starts with `prefix`, oldest first.
    std::vector<SteadyClock::time_point> EventTimes(const std::string& prefix);

private:
    void Stop();

    int m_comNumber;
    test::ScopedConfigHome m_home;
    sim::ScannerModel m_model;
    sim::PtyServer m_server{m_model};
    std::string m_linkPath;
    std::string m_error;
    bool m_started = false;
    struct Event {
        std::uint64_t ms;  // model time
        std::string text;
    };
    std::vector<Event> m_log;  // written under the server's model lock
    std::mutex m_mutex;
    std::optional<SteadyClock::time_point> m_hungUpAt;
    std::thread m_thread;
};

}  // namespace testing_support
