#include "PtyPort.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace testing_support {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

int MillisecondsLeft(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PtyPort::PtyPort(int comNumber) : m_comNumber(comNumber)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    m_master = master;
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        CloseMaster();
        throw std::runtime_error("no pseudo-terminal");
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    char name[128] = {};
    if (ptsname_r(master, name, sizeof name) != 0) {
        CloseMaster();
        throw std::runtime_error("no pseudo-terminal name");
    }
    m_slavePath = name;

    if (m_configHome.Path().empty()) {
        CloseMaster();
        throw std::runtime_error("no temporary folder");
    }
    m_portMap = m_configHome.PortMapFolder();
    fs::create_directories(m_portMap);
    fs::create_symlink(m_slavePath, m_portMap + "/com" + std::to_string(comNumber));
}

PtyPort::~PtyPort()
{
    CloseMaster();
}

std::string PtyPort::ComPath() const
{
    return R"(\\.\COM)" + std::to_string(m_comNumber);
}

std::size_t PtyPort::WriteMaster(std::span<const std::uint8_t> bytes, std::chrono::milliseconds limit)
{
    const auto deadline = SteadyClock::now() + limit;
    std::size_t written = 0;
    const int master = m_master;
    while (master >= 0 && written < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            break;
        }
        pollfd descriptor{master, POLLOUT, 0};
        poll(&descriptor, 1, std::min(left, 10));
    }
    return written;
}

std::vector<std::uint8_t> PtyPort::ReadMaster(std::size_t count, std::chrono::milliseconds limit)
{
    const auto deadline = SteadyClock::now() + limit;
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    const int master = m_master;
    while (master >= 0 && got < count) {
        const ssize_t n = ::read(master, bytes.data() + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            break;
        }
        // EIO while no slave is open; keep polling until the limit.
        pollfd descriptor{master, POLLIN, 0};
        poll(&descriptor, 1, std::min(left, 10));
    }
    bytes.resize(got);
    return bytes;
}

void PtyPort::CloseMaster()
{
    if (const int master = m_master.exchange(-1); master >= 0) {
        ::close(master);
    }
}

PtyResponder::PtyResponder(PtyPort& port, Serve serve) : m_port(port), m_serve(std::move(serve))
{
    m_thread = std::thread([this] {
        std::vector<std::uint8_t> chunk(4096);
        while (!m_stop) {
            pollfd descriptor{m_port.Master(), POLLIN, 0};
            if (descriptor.fd < 0 || poll(&descriptor, 1, 10) <= 0) {
                continue;
            }
            const ssize_t n = ::read(descriptor.fd, chunk.data(), chunk.size());
            if (n <= 0) {
                // EIO while the slave is closed: nothing to serve, do not spin.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            m_received += static_cast<std::size_t>(n);
            const std::vector<std::uint8_t> reply = m_serve(std::span(chunk.data(), static_cast<std::size_t>(n)));
            m_port.WriteMaster(reply, std::chrono::milliseconds(500));
        }
    });
}

PtyResponder::~PtyResponder()
{
    m_stop = true;
    m_thread.join();
}

}  // namespace testing_support
