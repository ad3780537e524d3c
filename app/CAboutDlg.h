#pragma once

#include "firmware/FirmwareImage.h"
#include "platform/WindowSystem.h"

// The About box: the utility's name with the carried image's version, the
// icon and a notice line. Each opening starts from the template's text.
class CAboutDlg : public platform::DialogHandler {
public:
    explicit CAboutDlg(platform::Dialog* owner = nullptr, const FirmwareImage& image = g_firmwareImage);

    int DoModal();
    void OnInitDialog(platform::Dialog& dialog) override;
    void DoDataExchange() {}

private:
    platform::Dialog* m_pOwner;
    const FirmwareImage& m_image;
};
