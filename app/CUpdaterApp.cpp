#include "CUpdaterApp.h"

#include "CUpdaterDlg.h"

CUpdaterApp theApp;

bool CUpdaterApp::InitInstance()
{
    Enable3dControlsStatic();
    CUpdaterDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
