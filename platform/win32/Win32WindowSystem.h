#pragma once

#include "platform/WindowSystem.h"

// The real window system on Windows: plain Win32 with the Unicode calls.
// Dialogs are built in memory from the templates, message boxes are the
// system's own, the progress bar is the common controls' one. This header
// carries no Windows headers, so the program's entry point can create it
// without seeing them.
//
//     platform::win32::Win32WindowSystem windows;
//     platform::ScopedWindowSystem use(windows);
//     ... RunModal(main dialog) ...
//
// Everything runs on the thread that created it.
namespace platform::win32 {

class Win32WindowSystem final : public WindowSystem {
public:
    // Registers the common controls the templates use (the progress bar).
    Win32WindowSystem();
    ~Win32WindowSystem() override;
    Win32WindowSystem(const Win32WindowSystem&) = delete;
    Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

    int RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                 DialogHandler& handler) override;
    std::unique_ptr<Dialog> CreateModeless(const DialogTemplate& dialogTemplate,
                                           Dialog* owner) override;
    int ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                       std::uint32_t style) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // Whether the wait cursor is on: the dialogs keep it up when the
    // pointer moves over them.
    bool Waiting() const { return m_waitDepth > 0; }

    // Puts the wait cursor up again (after a window asked for its own).
    static void ShowWaitCursor();

private:
    int m_waitDepth = 0;
    void* m_previousCursor = nullptr;
};

}  // namespace platform::win32
