#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// Ends the whole process with a message on stderr when the step it guards
// is still running after `limit`: a real-time test fails loudly rather than
// hang the suite. Disarmed when destroyed.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds limit, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

}  // namespace testing_support
