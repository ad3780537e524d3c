#include "PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace fs = std::filesystem;

namespace {

// Longest sleep of the serving loop: how late a stop or an open is noticed.
constexpr int kMaxPollMs = 20;

std::string Errno(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::string DefaultPortMapFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    return base + "/vrt58-dsp-updater/ports";
}

PtyServer::PtyServer(ScannerModel& model) : m_model(model), m_origin(std::chrono::steady_clock::now()) {}

PtyServer::~PtyServer()
{
    RemoveLink();
    CloseMaster();
    for (int& fd : m_wake) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

std::uint64_t PtyServer::NowMs() const
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now() - m_origin).count());
}

bool PtyServer::Start(const Options& options, std::string& error)
{
    m_options = options;
    if (options.port < 1 || options.port > 256) {
        error = "port number must be 1 to 256";
        return false;
    }
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = Errno("pipe2");
        return false;
    }
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        error = Errno("posix_openpt");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = Errno("grantpt/unlockpt");
        CloseMaster();
        return false;
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof(name)) != 0) {
        error = Errno("ptsname_r");
        CloseMaster();
        return false;
    }
    m_slavePath = name;

    // Raw mode is set once on the slave and stays with the pseudo-terminal
    // while the master is open. Closing this slave also leaves the master in
    // its "nobody has the port open" state, which is what Serve watches.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = Errno("open slave");
        CloseMaster();
        return false;
    }
    termios tio{};
    bool rawOk = ::tcgetattr(slave, &tio) == 0;
    if (rawOk) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        rawOk = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    if (!rawOk) {
        error = Errno("raw mode on the slave");
    }
    ::close(slave);
    if (!rawOk) {
        CloseMaster();
        return false;
    }
    m_origin = std::chrono::steady_clock::now();
    if (!Link(options, error)) {
        CloseMaster();
        return false;
    }
    return true;
}

bool PtyServer::Link(const Options& options, std::string& error)
{
    const std::string folder = options.folder.empty() ? DefaultPortMapFolder() : options.folder;
    if (folder.empty()) {
        error = "no port map folder: neither XDG_CONFIG_HOME nor HOME is set";
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const fs::path link = fs::path(folder) / ("com" + std::to_string(options.port));
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !options.force) {
        if (!fs::is_symlink(status)) {
            error = link.string() + " exists and is not a link; remove it or use --force";
            return false;
        }
        const fs::path target = fs::read_symlink(link, ec);
        // A link left by a simulator that died points nowhere, or at the
        // very pseudo-terminal we now hold: both are ours to replace.
        if (!ec && target != m_slavePath && fs::exists(link, ec)) {
            error = link.string() + " already points to " + target.string() +
                    ", a device that exists; stop whatever serves it or use --force";
            return false;
        }
    }
    // Link under a temporary name, then rename over: no moment without a link.
    const fs::path temporary = link.string() + ".tmp" + std::to_string(::getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(m_slavePath, temporary, ec);
    if (ec) {
        error = "cannot create " + temporary.string() + ": " + ec.message();
        return false;
    }
    fs::rename(temporary, link, ec);
    if (ec) {
        error = "cannot create " + link.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    m_linkPath = link.string();
    return true;
}

void PtyServer::RemoveLink()
{
    if (m_linkPath.empty()) {
        return;
    }
    std::error_code ec;
    // Only our own link: someone may have taken the number over meanwhile.
    if (fs::read_symlink(m_linkPath, ec) == fs::path(m_slavePath) && !ec) {
        fs::remove(m_linkPath, ec);
    }
    m_linkPath.clear();
}

void PtyServer::CloseMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyServer::RequestStop()
{
    m_stop.store(true);
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(m_wake[1], &byte, 1);
    }
}

PtyServer::StopReason PtyServer::Serve()
{
    if (m_master < 0) {
        m_error = "not started";
        return StopReason::Failed;
    }
    std::vector<std::uint8_t> outgoing;
    bool pcOpen = false;
    std::uint64_t lastIn = NowMs();

    const auto closed = [&](std::uint64_t now) {
        pcOpen = false;
        outgoing.clear();
        // What the PC did not read is gone with its port, as on a real line.
        // The pseudo-terminal keeps it in the slave's input, which only a
        // flush on the slave side empties; if the PC is back already and
        // holds the port exclusively, the open fails and nothing is lost.
        const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave >= 0) {
            ::tcflush(slave, TCIFLUSH);
            ::close(slave);
        }
        std::lock_guard lock(m_mutex);
        m_model.PortClosed(now);
    };
    const auto opened = [&](std::uint64_t now) {
        pcOpen = true;
        lastIn = now;
        std::lock_guard lock(m_mutex);
        m_model.PortOpened(now);
    };

    for (;;) {
        if (m_stop.load()) {
            return StopReason::Requested;
        }
        std::uint64_t now = NowMs();
        std::uint64_t next = UINT64_MAX;
        bool imageComplete = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_model.HungUp(now)) {
                // The device goes away: the PC's open port reads end of file.
                RemoveLink();
                CloseMaster();
                return StopReason::HungUp;
            }
            auto bytes = m_model.ToPc(now);
            if (pcOpen) {
                outgoing.insert(outgoing.end(), bytes.begin(), bytes.end());
            }
            next = m_model.NextEvent(now);
            imageComplete = m_model.ImageComplete();
        }
        if (m_options.exitAfterUpdate && imageComplete && (!pcOpen || now - lastIn >= m_options.quietMs)) {
            return StopReason::ImageDone;
        }

        if (pcOpen && !outgoing.empty()) {
            const ssize_t n = ::write(m_master, outgoing.data(), outgoing.size());
            if (n > 0) {
                outgoing.erase(outgoing.begin(), outgoing.begin() + n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                closed(now);
            }
        }

        int timeout = kMaxPollMs;
        if (next != UINT64_MAX) {
            timeout = static_cast<int>(std::min<std::uint64_t>(next > now ? next - now : 0, kMaxPollMs));
        }
        pollfd fds[2] = {{m_master, static_cast<short>(POLLIN | (pcOpen && !outgoing.empty() ? POLLOUT : 0)), 0},
                         {m_wake[0], POLLIN, 0}};
        // While nobody has the slave open the master reports POLLHUP at
        // once; then only the wake pipe is slept on.
        int ready = ::poll(fds, 2, pcOpen ? timeout : 0);
        if (ready < 0 && errno != EINTR) {
            m_error = Errno("poll");
            return StopReason::Failed;
        }
        const bool hangup = ready > 0 && (fds[0].revents & POLLHUP) != 0;
        if (!pcOpen && hangup && (fds[0].revents & POLLIN) == 0 && (fds[1].revents & POLLIN) == 0) {
            pollfd wake{m_wake[0], POLLIN, 0};
            ::poll(&wake, 1, timeout);
        }
        if (ready > 0 || !pcOpen) {
            char drain[64];
            while (::read(m_wake[0], drain, sizeof(drain)) > 0) {
            }
        }

        now = NowMs();
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint8_t buffer[4096];
            for (;;) {
                const ssize_t n = ::read(m_master, buffer, sizeof(buffer));
                if (n <= 0) {
                    break;
                }
                if (!pcOpen) {
                    opened(now);
                }
                lastIn = now;
                std::lock_guard lock(m_mutex);
                m_model.FromPc(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), now);
            }
        }
        if (hangup) {
            if (pcOpen) {
                closed(now);
            }
        } else if (!pcOpen && ready >= 0) {
            opened(now);
        }
    }
}

}  // namespace sim
