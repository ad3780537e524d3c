#include "PortHolder.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

// The child of a threaded process may only make plain system calls: no
// allocation, no locks, no library state.
[[noreturn]] void Hold(const char* device, PortHolder::How how, int ready, int release)
{
    const int fd = static_cast<int>(::syscall(SYS_openat, AT_FDCWD, device, O_RDWR | O_NOCTTY | O_NONBLOCK));
    bool held = fd >= 0;
    if (held) {
        held = how == PortHolder::How::Lock ? ::syscall(SYS_flock, fd, LOCK_EX | LOCK_NB) == 0
                                            : ::syscall(SYS_ioctl, fd, TIOCEXCL) == 0;
    }
    const char answer = held ? 'y' : 'n';
    ::syscall(SYS_write, ready, &answer, 1);
    char ignored = 0;
    // Until the parent closes its end, or dies.
    while (::syscall(SYS_read, release, &ignored, 1) < 0 && errno == EINTR) {
    }
    if (held && how == PortHolder::How::ExclusiveFlag) {
        ::syscall(SYS_ioctl, fd, TIOCNXCL);  // the flag stays with the terminal otherwise
    }
    ::_exit(0);
}

}  // namespace

PortHolder::PortHolder(const std::string& device, How how)
{
    int ready[2] = {-1, -1};
    int release[2] = {-1, -1};
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    const char* path = device.c_str();
    m_child = ::fork();
    if (m_child == 0) {
        // Keep nothing of the parent's but the two pipe ends: a copy of a
        // pseudo-terminal's master or slave would keep that line alive.
        ::syscall(SYS_dup3, release[0], 0, 0);
        ::syscall(SYS_dup3, ready[1], 1, 0);
        ::syscall(SYS_close_range, 3, ~0U, 0);
        Hold(path, how, 1, 0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_release = release[1];
    if (m_child > 0) {
        char answer = 'n';
        pollfd wait{ready[0], POLLIN, 0};
        if (::poll(&wait, 1, 5000) == 1 && ::read(ready[0], &answer, 1) == 1) {
            m_holding = answer == 'y';
        }
    }
    ::close(ready[0]);
}

PortHolder::~PortHolder()
{
    if (m_release >= 0) {
        ::close(m_release);
    }
    if (m_child > 0) {
        int status = 0;
        while (::waitpid(m_child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

}  // namespace testing_support
