#include "WxWindowSystem.h"

#include "WxDialog.h"
#include "WxMessageBox.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/utils.h>

#include <cstdio>

namespace platform::wx {

namespace {

// The toolkit's application object when the program has none of its own:
// no command line of its own, and failed checks and log messages go to
// standard error instead of boxes that would stop an unattended run.
class ToolkitApp final : public wxApp {
public:
    bool OnInit() override { return true; }

    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override
    {
        std::fprintf(stderr, "wx check failed: %s:%d %s: %s %s\n",
                     wxString(file).utf8_str().data(), line, wxString(func).utf8_str().data(),
                     wxString(cond).utf8_str().data(), wxString(msg).utf8_str().data());
    }
};

WxDialog* WxDialogOf(Dialog* dialog)
{
    return dynamic_cast<WxDialog*>(dialog);
}

}  // namespace

WxWindowSystem::WxWindowSystem(int& argc, char** argv)
{
    if (wxTheApp != nullptr) {
        m_started = true;  // the program runs the toolkit itself
        return;
    }
    wxApp::SetInstance(new ToolkitApp);
    if (!wxEntryStart(argc, argv)) {
        return;  // wxEntryStart has deleted the application object
    }
    m_ownsToolkit = true;
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxLog::SetLogLevel(wxLOG_Warning);
    m_started = true;
}

WxWindowSystem::~WxWindowSystem()
{
    while (m_waitCursorDepth > 0) {
        EndWaitCursor();
    }
    if (m_ownsToolkit) {
        wxEntryCleanup();
    }
}

int WxWindowSystem::RunModal(const DialogTemplate& dialogTemplate, Dialog* owner,
                             DialogHandler& handler)
{
    if (!m_started) {
        return -1;
    }
    WxDialog dialog(dialogTemplate, WxDialogOf(owner), &handler);
    if (dialog.Native() == nullptr) {
        return -1;
    }
    return dialog.RunModal();
}

std::unique_ptr<Dialog> WxWindowSystem::CreateModeless(const DialogTemplate& dialogTemplate,
                                                       Dialog* owner)
{
    if (!m_started) {
        return nullptr;
    }
    auto dialog = std::make_unique<WxDialog>(dialogTemplate, WxDialogOf(owner), nullptr);
    if (dialog->Native() == nullptr) {
        return nullptr;
    }
    if ((dialogTemplate.style & WS_VISIBLE) != 0) {
        dialog->Show(true);
    }
    return dialog;
}

int WxWindowSystem::ShowMessageBox(Dialog* owner, std::string_view text, std::string_view caption,
                                   std::uint32_t style)
{
    if (!m_started) {
        return 0;
    }
    const WxDialog* ownerDialog = WxDialogOf(owner);
    return RunMessageBox(ownerDialog != nullptr ? ownerDialog->Native() : nullptr, text, caption,
                         style);
}

void WxWindowSystem::BeginWaitCursor()
{
    ++m_waitCursorDepth;
    if (m_started) {
        wxBeginBusyCursor();
    }
}

void WxWindowSystem::EndWaitCursor()
{
    // wx counts below zero on an End without a Begin; we do not.
    if (m_waitCursorDepth == 0) {
        return;
    }
    --m_waitCursorDepth;
    if (m_started) {
        wxEndBusyCursor();
    }
}

}  // namespace platform::wx
