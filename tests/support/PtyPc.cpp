#include "PtyPc.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace test {

bool PtyPc::Open(const std::string& path)
{
    Close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    termios tio{};
    if (::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    m_hungUp = false;
    return true;
}

void PtyPc::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool PtyPc::Write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sent < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(m_fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return sent == bytes.size();
}

std::vector<std::uint8_t> PtyPc::Read(std::size_t count, int ms)
{
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < count && !m_hungUp) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                  std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        std::uint8_t buffer[512];
        const std::size_t want = std::min(sizeof(buffer), count - out.size());
        const ssize_t n = ::read(m_fd, buffer, want);
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            m_hungUp = true;
        }
    }
    return out;
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vrt58-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

TempFolder::~TempFolder()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

ScopedConfigHome::ScopedConfigHome()
{
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) {
        m_previous = previous;
    }
    ::setenv("XDG_CONFIG_HOME", m_folder.Path().c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome()
{
    if (m_previous) {
        ::setenv("XDG_CONFIG_HOME", m_previous->c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace test
