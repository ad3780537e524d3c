#include "Watchdog.h"

#include <cstdio>
#include <cstdlib>

namespace testing_support {

Watchdog::Watchdog(std::chrono::milliseconds limit, std::string what)
{
    m_thread = std::thread([this, limit, what = std::move(what)] {
        std::unique_lock lock(m_mutex);
        if (!m_wake.wait_for(lock, limit, [this] { return m_done; })) {
            std::fprintf(stderr, "\nWATCHDOG: %s is still running after %lld ms; aborting the test.\n",
                         what.c_str(), static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
        }
    });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

}  // namespace testing_support
