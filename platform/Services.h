#pragma once

#include "Clock.h"
#include "CommDevice.h"

namespace platform {

// The platform the product runs on: which clock it measures time with and
// where its serial ports come from. The product uses the real machine; tests
// install virtual ones for the lifetime of a ScopedServices.
Clock& CurrentClock();
CommPorts& CurrentPorts();

class ScopedServices {
public:
    ScopedServices(Clock& clock, CommPorts& ports);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Clock* m_previousClock;
    CommPorts* m_previousPorts;
};

}  // namespace platform
