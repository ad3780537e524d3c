#pragma once

#include <string>
#include <sys/types.h>

namespace testing_support {

// Another process that holds a serial device the way a program that owns
// the line does, until this object is destroyed.
class PortHolder {
public:
    enum class How {
        Lock,           // an exclusive flock on its descriptor
        ExclusiveFlag,  // the terminal's exclusive-use flag (TIOCEXCL)
    };

    // Returns once the other process holds `device`, or failed to.
    PortHolder(const std::string& device, How how);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Holding() const { return m_holding; }

private:
    pid_t m_child = -1;
    int m_release = -1;  // closing it lets the holder go
    bool m_holding = false;
};

}  // namespace testing_support
