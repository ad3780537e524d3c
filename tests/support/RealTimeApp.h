#pragma once

#include "app/CUpdaterDlg.h"
#include "platform/WindowSystem.h"
#include "platform/testwin/TestWindowSystem.h"

#include <functional>

namespace testing_support {

// The program with only its window system replaced by the test one: the
// clock and the serial ports are the machine's own, so every wait is real.
struct RealTimeApp {
    // Runs the main dialog: Yes to the warning, then `user` plays the user.
    void Run(CUpdaterDlg& dialog, std::function<void(platform::testwin::TestDialog&)> user);

    // The main dialog's record (the last one run).
    const platform::testwin::DialogRecord& Main() const;
    bool Enabled(int id) const { return Main().Control(id)->enabled; }

    platform::testwin::TestWindowSystem windows;
    platform::ScopedWindowSystem scopedWindows{windows};
};

}  // namespace testing_support
