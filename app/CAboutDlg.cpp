#include "CAboutDlg.h"

#include "AppText.h"
#include "protocol/Protocol.h"
#include "resources/Resources.h"

CAboutDlg::CAboutDlg(platform::Dialog* owner, const FirmwareImage& image) : m_pOwner(owner), m_image(image) {}

int CAboutDlg::DoModal()
{
    return platform::CurrentWindowSystem().RunModal(*resources::FindTemplate(IDD_ABOUTBOX), m_pOwner, *this);
}

void CAboutDlg::OnInitDialog(platform::Dialog& dialog)
{
    platform::Window* title = dialog.GetDlgItem(IDC_ABOUT_TITLE);
    title->SetText(title->GetText() +
                   Format(" %d.%d", VersionMajor(m_image.version), VersionMinor(m_image.version)));
}
