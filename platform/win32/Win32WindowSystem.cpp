#include "Win32WindowSystem.h"

#include "Win32Dialog.h"
#include "Win32Text.h"

#include "Win32Api.h"

namespace platform::win32 {

namespace {

Win32Dialog* Win32DialogOf(Dialog* dialog)
{
    return dynamic_cast<Win32Dialog*>(dialog);
}

}  // namespace

Win32WindowSystem::Win32WindowSystem()
{
    // The progress bar's class; buttons, lists and texts with the look of
    // the common controls the manifest asks for.
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&classes);
}

Win32WindowSystem::~Win32WindowSystem()
{
    while (m_waitDepth > 0) {
        EndWaitCursor();
    }
}

int Win32WindowSystem::RunModal(const DialogTemplate& dialogTemplate, Dialog* owner, DialogHandler& handler)
{
    Win32Dialog dialog(*this, dialogTemplate, Win32DialogOf(owner), &handler);
    return dialog.RunModal();
}

std::unique_ptr<Dialog> Win32WindowSystem::CreateModeless(const DialogTemplate& dialogTemplate, Dialog* owner)
{
    auto dialog = std::make_unique<Win32Dialog>(*this, dialogTemplate, Win32DialogOf(owner), nullptr);
    if (!dialog->CreateModeless()) {
        return nullptr;
    }
    return dialog;
}

int Win32WindowSystem::ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                                      std::uint32_t style)
{
    // The system's own box: its icons, its buttons, its default button. The
    // seam's styles are the system's values.
    const Win32Dialog* ownerDialog = Win32DialogOf(owner);
    return MessageBoxW(ownerDialog != nullptr ? ownerDialog->Hwnd() : nullptr, Wide(text).c_str(),
                       Wide(caption).c_str(), style);
}

void Win32WindowSystem::ShowWaitCursor()
{
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32WindowSystem::BeginWaitCursor()
{
    if (m_waitDepth++ == 0) {
        m_previousCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    }
}

void Win32WindowSystem::EndWaitCursor()
{
    if (m_waitDepth == 0) {
        return;  // an End without a Begin
    }
    if (--m_waitDepth == 0) {
        SetCursor(static_cast<HCURSOR>(m_previousCursor));
    }
}

}  // namespace platform::win32
