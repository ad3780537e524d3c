#pragma once

class CUpdaterDlg;

// The application: runs the main dialog as its main window and ends the
// program when the dialog closes, however it closes.
class CUpdaterApp {
public:
    CUpdaterApp() = default;
    virtual ~CUpdaterApp() = default;
    CUpdaterApp(const CUpdaterApp&) = delete;
    CUpdaterApp& operator=(const CUpdaterApp&) = delete;

    // Runs the main dialog to its end. Returns false: there is no message
    // loop of the application's own to run afterwards.
    virtual bool InitInstance();

    // The main window while it runs.
    CUpdaterDlg* m_pMainWnd = nullptr;

private:
    // The three-dimensional look of dialog controls; every window system we
    // run on draws them so already.
    static void Enable3dControlsStatic() {}
};

extern CUpdaterApp theApp;
