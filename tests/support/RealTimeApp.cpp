#include "RealTimeApp.h"

#include "resources/ResourceIds.h"

namespace testing_support {

void RealTimeApp::Run(CUpdaterDlg& dialog, std::function<void(platform::testwin::TestDialog&)> user)
{
    windows.OnModal(IDD_MAIN, std::move(user));
    windows.QueueAnswer(platform::IDYES);
    dialog.DoModal();
}

const platform::testwin::DialogRecord& RealTimeApp::Main() const
{
    return *windows.DialogsFrom(IDD_MAIN).back();
}

}  // namespace testing_support
