#pragma once

#include "app/CUpdaterDlg.h"
#include "platform/Services.h"
#include "platform/fake/FakeCommDevice.h"
#include "platform/fake/VirtualClock.h"
#include "platform/testwin/TestWindowSystem.h"
#include "resources/ResourceIds.h"
#include "support/ScriptedPeer.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace testing_support {

// The whole program's surroundings in memory: a virtual clock, the fake line
// with a scripted scanner on COM1, and the test window system.
struct AppHarness {
    // The scripted scanner hangs on COM`portNumber`.
    explicit AppHarness(std::uint32_t startTick = 0xFFFF0000u, int portNumber = 1);

    // Runs the main dialog: Yes to the warning, then `user` plays the user.
    void Run(CUpdaterDlg& dialog, std::function<void(platform::testwin::TestDialog&)> user);

    // A scanner in normal mode whose VERSION reply carries `byte1`, `byte2`.
    void NormalScanner(std::uint8_t byte1, std::uint8_t byte2);

    // The main dialog's record (the last one run).
    const platform::testwin::DialogRecord& Main() const;
    bool Enabled(int id) const { return Main().Control(id)->enabled; }

    platform::fake::VirtualClock clock;
    ScriptedPeer peer;
    platform::fake::FakeCommPorts ports{clock, peer};
    platform::ScopedServices services{clock, ports};
    platform::testwin::TestWindowSystem windows;
    platform::ScopedWindowSystem scopedWindows{windows};
};

}  // namespace testing_support
