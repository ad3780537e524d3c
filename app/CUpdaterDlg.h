#pragma once

#include "firmware/FirmwareImage.h"
#include "platform/WindowSystem.h"
#include "protocol/UpdaterState.h"

#include <cstdint>
#include <span>
#include <string>

// The main dialog: the seven steps, the port list, the version banner and
// the TEST, UPDATE and EXIT buttons. It owns the state its handlers share
// (CUpdaterState) and runs both exchanges with the scanner inside the
// button clicks, on the user-interface thread.
class CUpdaterDlg : public CUpdaterState, public platform::DialogHandler {
public:
    // `image` is the firmware the dialog shows and installs, and
    // `placeholder` whether it is the tree's placeholder (sent only to the
    // simulator); the program's own unless a test hands it others.
    explicit CUpdaterDlg(platform::Dialog* parent = nullptr, const FirmwareImage& image = g_firmwareImage,
                         bool placeholder = g_firmwareIsPlaceholder);
    ~CUpdaterDlg() override;

    // Runs the dialog until it closes; returns how it closed (IDOK or IDCANCEL).
    int DoModal();

    // Handlers.
    void OnInitDialog(platform::Dialog& dialog) override;
    bool OnCommand(platform::Dialog& dialog, int id) override;
    bool OnSysCommand(platform::Dialog& dialog, std::uint32_t command) override;
    void OnTest();
    void OnUpdate();
    void OnShowMessages();

    // Help is switched off and no data is bound to controls: both do nothing.
    void WinHelp(std::uint32_t data, std::uint32_t command);
    void DoDataExchange();

    // Where the icon goes in a minimised dialog's client area (left, top).
    static std::pair<int, int> IconPosition(const platform::Rect& client, int cxIcon, int cyIcon);
    // The image shown while the minimised dialog is dragged.
    const platform::IconResource* OnQueryDragIcon() const { return m_hIcon; }

    const platform::IconResource* m_hIcon;
    std::span<const platform::AcceleratorEntry> m_hAccel;

private:
    int MessageBox(const std::string& text, std::uint32_t style);
    platform::Window* Item(int id);

    platform::Dialog* m_pParent;
    platform::Dialog* m_pWnd = nullptr;  // the dialog window while it runs
    const FirmwareImage& m_image;
    bool m_placeholder;
};
