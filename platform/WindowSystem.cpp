#include "WindowSystem.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
WindowSystem* g_windowSystem = nullptr;
}  // namespace

std::uint16_t TranslateAccelerator(std::span<const AcceleratorEntry> table, std::uint16_t key,
                                   std::uint8_t modifiers)
{
    constexpr std::uint8_t modifierBits = FSHIFT | FCONTROL | FALT;
    for (const AcceleratorEntry& entry : table) {
        if ((entry.flags & FVIRTKEY) != 0 && entry.key == key &&
            (entry.flags & modifierBits) == (modifiers & modifierBits)) {
            return entry.command;
        }
    }
    return 0;
}

WindowSystem& CurrentWindowSystem()
{
    if (g_windowSystem == nullptr) {
        std::fputs("No window system is installed (platform::ScopedWindowSystem)\n", stderr);
        std::abort();
    }
    return *g_windowSystem;
}

ScopedWindowSystem::ScopedWindowSystem(WindowSystem& windowSystem) : m_previous(g_windowSystem)
{
    g_windowSystem = &windowSystem;
}

ScopedWindowSystem::~ScopedWindowSystem()
{
    g_windowSystem = m_previous;
}

}  // namespace platform
