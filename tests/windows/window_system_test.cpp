// The Win32 window system's own tests (tests/win32/window_system_test.cpp,
// cross-built) under Wine, on an X display of their own: the dialog
// manager is the real one, only the screen is virtual.
#include "support/WinePrefix.h"
#include "support/XSession.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

namespace {

using namespace testing_support;

TEST(Win32WindowSystem, PassesItsTestsUnderWine)
{
    const std::string exe = WinePrefix::WindowsBuild() + "/tests/win32_window_system_test.exe";
    if (access(exe.c_str(), F_OK) != 0) {
        GTEST_SKIP() << "no " << exe << " (scripts/build-windows makes it)";
    }
    const WinePrefix prefix;
    ASSERT_TRUE(prefix.Ok()) << prefix.Error();
    const XvfbDisplay display;
    ASSERT_TRUE(display.Ok()) << display.Error();

    int status = -1;
    const auto lines = RunProgram(prefix.Command(exe, {"--gtest_brief=1"}), 120, &status);
    for (const std::string& line : lines) {
        std::printf("%s\n", line.c_str());
    }
    EXPECT_EQ(status, 0);
}

}  // namespace
