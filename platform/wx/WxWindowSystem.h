#pragma once

#include "platform/WindowSystem.h"

#include <memory>

// The real window system: wxWidgets 3.2 on GTK. This header carries no wx
// headers, so the program's entry point can create it without seeing wx.
//
//     platform::wx::WxWindowSystem windows(argc, argv);
//     if (!windows.Started()) return 1;     // no display
//     platform::ScopedWindowSystem use(windows);
//     ... RunModal(main dialog) ...
//
// No main loop is needed: RunModal runs the dialog's own loop.
namespace platform::wx {

class WxWindowSystem final : public WindowSystem {
public:
    // Starts the toolkit and connects to the display, unless the program
    // already runs a wxApp (then that one is used and left alone). argc and
    // argv are the program's; the toolkit may take its own options out.
    WxWindowSystem(int& argc, char** argv);
    // Shuts the toolkit down again if this object started it; windows still
    // open are destroyed.
    ~WxWindowSystem() override;
    WxWindowSystem(const WxWindowSystem&) = delete;
    WxWindowSystem& operator=(const WxWindowSystem&) = delete;

    // Whether windows can be shown (the display could be opened).
    bool Started() const { return m_started; }

    int RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                 DialogHandler& handler) override;
    std::unique_ptr<Dialog> CreateModeless(const DialogTemplate& dialogTemplate,
                                           Dialog* owner) override;
    int ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                       std::uint32_t style) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

private:
    bool m_started = false;
    bool m_ownsToolkit = false;
    int m_waitCursorDepth = 0;
};

}  // namespace platform::wx
