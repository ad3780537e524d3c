#include "Services.h"

#include "System.h"

namespace platform {

namespace {
Clock* g_clock = nullptr;
CommPorts* g_ports = nullptr;
}  // namespace

Clock& CurrentClock()
{
    return g_clock != nullptr ? *g_clock : RealClock();
}

CommPorts& CurrentPorts()
{
    return g_ports != nullptr ? *g_ports : SystemPorts();
}

ScopedServices::ScopedServices(Clock& clock, CommPorts& ports)
    : m_previousClock(g_clock), m_previousPorts(g_ports)
{
    g_clock = &clock;
    g_ports = &ports;
}

ScopedServices::~ScopedServices()
{
    g_clock = m_previousClock;
    g_ports = m_previousPorts;
}

}  // namespace platform
