#include "CUpdaterDlg.h"

#include "AppText.h"
#include "CAboutDlg.h"
#include "Messages.h"
#include "platform/Services.h"
#include "protocol/Protocol.h"
#include "protocol/Transactions.h"
#include "resources/Resources.h"
#include "serial/CSerial.h"
#include "serial/DeadWriteGuard.h"
#include "ui/CProgressDlg.h"

#include <algorithm>
#include <memory>

using platform::IDYES;
using platform::MB_DEFBUTTON2;
using platform::MB_ICONINFORMATION;
using platform::MB_ICONQUESTION;
using platform::MB_ICONWARNING;
using platform::MB_YESNO;

namespace {

constexpr const char* DEVICE_PATH = "\\\\.\\COM%d";

constexpr const char* WARNING_TEXT =
    "IMPORTANT!!!\n\nBefore attempting to use this utility, please ensure that you can transfer data\n"
    "between the VRT-58 and your PC, using a supported cable. A good test would be\n"
    "to acquire one of the data-management programs available, and perform a few\n"
    "upload and download operations between such a program and your scanner.\n\n"
    "The steps described in this utility are written with the presumption that you\n"
    "already have a suitable data transfer cable and are familiar with using that\n"
    "cable to connect your VRT-58 to your computer.\n\n"
    "Please be assured that you cannot 'destroy' your radio with this utility - you\n"
    "can always revert to the factory DSP programming via the procedure described in\n"
    "the VRT-58 manual.\n\nAre you ready to proceed with this update utility?";

constexpr const char* TEST_PORT_FAILURE =
    "Unable to open the port COM%d. Make sure that it actually\nexists and is not being used by any other "
    "program (e.g. a\nPDA program like Palm's HotSync).\n\nPlease retry from Step 2.";
constexpr const char* UPDATE_PORT_FAILURE =
    "Unable to open the port COM%d. Make sure that it's actually\nexists and is not being used by any other "
    "program (e.g. a\nPDA program like Palm's HotSync).";
constexpr const char* RETRY_STEP_1 = "\n\nPlease retry from Step 1.";
constexpr const char* BANNER = "SCANNER VERSION: %d.%d (%s)\nUPDATER VERSION: %d.%d";
constexpr const char* VERSION_MESSAGE =
    "The version of the DSP Application in the scanner is %d.%d, and\nis %s version.\n\n"
    "This update utility contains version %d.%d.";
constexpr const char* QUESTION =
    "\n\nThis updater contains a version that is %s what your scanner\nalready contains.\n\n"
    "Do you really want to upload version %d.%d ?";
constexpr const char* NO_SYNC = "No data from the scanner. Please retry from step 4";
// Our own: the scanner stopped taking data part way.
constexpr const char* UPDATE_INCOMPLETE =
    "The update did not complete: the scanner stopped taking data part way.\n\n"
    "Check the cable and the port, then retry from step 4.";

constexpr std::uint32_t SYNC_WINDOW_MS = 2000;
constexpr std::uint32_t WRITE_LIMIT_MS = 5000;
constexpr std::int32_t CHUNK = 100;
constexpr std::int32_t DRAIN = 200;

std::unique_ptr<CSerial> OpenPort(int comNumber)
{
    const std::string path = Format(DEVICE_PATH, comNumber);
    try {
        return std::make_unique<CSerial>(path.c_str(), 19200, 'N', 8, 1, true, false);
    } catch (...) {
        return nullptr;
    }
}

// Shows the wait cursor until the scope ends, however it ends.
class WaitCursor {
public:
    WaitCursor() { platform::CurrentWindowSystem().BeginWaitCursor(); }
    ~WaitCursor() { End(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void End()
    {
        if (m_on) {
            m_on = false;
            platform::CurrentWindowSystem().EndWaitCursor();
        }
    }

private:
    bool m_on = true;
};

}  // namespace

CUpdaterDlg::CUpdaterDlg(platform::Dialog* parent, const FirmwareImage& image, bool placeholder)
    : m_hIcon(resources::FindIcon(IDR_MAINFRAME)),
      m_hAccel(resources::FindAccelerators(IDR_ACCELERATORS)),
      m_pParent(parent),
      m_image(image),
      m_placeholder(placeholder)
{
}

CUpdaterDlg::~CUpdaterDlg()
{
    ClearPacketQueue();
}

int CUpdaterDlg::DoModal()
{
    const int result =
        platform::CurrentWindowSystem().RunModal(*resources::FindTemplate(IDD_MAIN), m_pParent, *this);
    m_pWnd = nullptr;
    return result;
}

void CUpdaterDlg::OnInitDialog(platform::Dialog& dialog)
{
    m_pWnd = &dialog;
    const int major = VersionMajor(m_image.version);
    const int minor = VersionMinor(m_image.version);

    if (dialog.HasSystemMenu()) {
        const std::string about(resources::LoadString(IDS_ABOUTBOX));
        if (!about.empty()) {
            dialog.AppendSystemMenuSeparator();
            dialog.AppendSystemMenuItem(IDM_ABOUTBOX, about);
        }
    }
    dialog.SetIcon(m_hIcon);
    if (!m_hAccel.empty()) {
        dialog.SetAccelerators(m_hAccel);
    }

    platform::Window* ports = Item(IDC_PORT_LIST);
    for (int i = 0; i < 256; ++i) {
        ports->AddString(Format("COM%d", i + 1));
    }
    ports->SetCurSel(0);

    Item(IDC_VERSION_TEXT)->SetText(Format("SCANNER VERSION: ?.?\nUPDATER VERSION: %d.%d", major, minor));
    dialog.SetText(dialog.GetText() + Format(" %d.%d", major, minor));
    platform::Window* step7 = Item(IDC_UPDATE_TEXT);
    step7->SetText(step7->GetText() + Format(" %d.%d", major, minor));

    if (MessageBox(WARNING_TEXT, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES) {
        dialog.PostClose();
    }
}

bool CUpdaterDlg::OnCommand(platform::Dialog& dialog, int id)
{
    m_pWnd = &dialog;
    switch (id) {
    case IDC_TEST:
        OnTest();
        return true;
    case IDC_UPDATE:
        OnUpdate();
        return true;
    case ID_SHOW_MESSAGES:
        OnShowMessages();
        return true;
    case IDOK:
        DoDataExchange();  // the framework's OK handling; nothing is bound
        return false;
    default:
        return false;
    }
}

bool CUpdaterDlg::OnSysCommand(platform::Dialog& dialog, std::uint32_t command)
{
    m_pWnd = &dialog;
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(&dialog);
        about.DoModal();
        return true;
    }
    return false;
}

void CUpdaterDlg::WinHelp(std::uint32_t, std::uint32_t) {}

void CUpdaterDlg::DoDataExchange() {}

std::pair<int, int> CUpdaterDlg::IconPosition(const platform::Rect& client, int cxIcon, int cyIcon)
{
    return {(client.right - client.left - cxIcon + 1) / 2, (client.bottom - client.top - cyIcon + 1) / 2};
}

int CUpdaterDlg::MessageBox(const std::string& text, std::uint32_t style)
{
    return platform::CurrentWindowSystem().ShowMessageBox(m_pWnd, text, ApplicationName(), style);
}

platform::Window* CUpdaterDlg::Item(int id)
{
    return m_pWnd->GetDlgItem(id);
}

void CUpdaterDlg::OnTest()
{
    DoDataExchange();  // UpdateData(TRUE): nothing is bound
    m_nPort = Item(IDC_PORT_LIST)->GetCurSel();

    std::unique_ptr<CSerial> port = OpenPort(m_nPort + 1);
    if (!port) {
        MessageBox(Format(TEST_PORT_FAILURE, m_nPort + 1), MB_ICONWARNING);
        return;
    }
    platform::CurrentClock().Sleep(100);

    ClearPacketQueue();
    m_packets.push_back(std::make_unique<CPacket>(PACKET_ENQ));
    m_packets.push_back(std::make_unique<CPacket>(PACKET_VERSION));
    m_nReplyByte1 = 0;
    m_nScannerVersion = 0;
    m_bFactory = false;

    const TransactionResult result = RunTransactions(*port, *this);
    port.reset();  // the port is closed before any box comes up

    if (result != RESULT_OK) {
        MessageBox(TransactionResultText(result) + RETRY_STEP_1, MB_ICONWARNING);
        return;
    }
    if (m_nReplyByte1 == 0 || m_nScannerVersion == 0) {
        return;
    }

    const int s = m_nScannerVersion;
    const int i = m_image.version;
    const int sMajor = VersionMajor(static_cast<unsigned>(s));
    const int sMinor = VersionMinor(static_cast<unsigned>(s));
    const int iMajor = VersionMajor(m_image.version);
    const int iMinor = VersionMinor(m_image.version);

    Item(IDC_VERSION_TEXT)
        ->SetText(Format(BANNER, sMajor, sMinor, m_bFactory ? "the factory version" : "a field upgrade", iMajor,
                         iMinor));
    std::string message =
        Format(VERSION_MESSAGE, sMajor, sMinor, m_bFactory ? "the factory" : "a field-upgraded", iMajor, iMinor);

    bool allowed = false;
    if (s < i) {
        MessageBox(message, MB_ICONINFORMATION);
        allowed = true;
    } else {
        message += Format(QUESTION, s > i ? "earlier than" : "the same as", iMajor, iMinor);
        allowed = MessageBox(message, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }

    Item(IDC_TEST)->Enable(!allowed);
    Item(IDC_UPDATE)->Enable(allowed);
    Item(IDC_PORT_LIST)->Enable(!allowed);
}

void CUpdaterDlg::OnUpdate()
{
    WaitCursor wait;
    platform::Clock& clock = platform::CurrentClock();

    std::unique_ptr<CSerial> port = OpenPort(m_nPort + 1);
    if (!port) {
        MessageBox(Format(UPDATE_PORT_FAILURE, m_nPort + 1), MB_ICONWARNING);
        return;
    }
    // A build without the real image sends it to the simulator only: filler
    // installed as DSP firmware would leave a real scanner without a working
    // DSP until its owner restores it.
    if (m_placeholder && !port->IsSimulator()) {
        port.reset();
        wait.End();
        MessageBox(PlaceholderRefusal(m_image), MB_ICONWARNING);
        return;
    }
    clock.Sleep(100);

    // Wait for the scanner's sync byte; anything else is dropped and the
    // window is not restarted.
    const std::uint32_t syncStart = clock.TickCount();
    std::uint8_t sync = 0;
    bool ready = false;
    while (clock.TickCount() - syncStart < SYNC_WINDOW_MS) {
        if (port->BytesWaiting() != 0) {
            port->Read(&sync, 1, 1000);
        }
        if (sync == 'U') {
            ready = true;
            break;
        }
    }
    if (!ready) {
        MessageBox(NO_SYNC, MB_ICONWARNING);
        return;  // the port closes after the box
    }

    const std::uint16_t length = m_image.length;
    std::uint8_t header[6] = {'f', STX, static_cast<std::uint8_t>(length >> 9),
                              static_cast<std::uint8_t>((length >> 1) & 0xFF), ETX, 0};
    header[5] = FrameChecksum(std::span<const std::uint8_t>(header).subspan(2, 3));  // bytes 1-5 are a frame

    // Writes that keep sending nothing mean the line is gone: give up
    // rather than retry for ever (and never call that a completed update).
    // Each chunk is written, then the pause follows; -1 means given up.
    DeadWriteGuard dead(WRITE_LIMIT_MS);
    auto sendChunk = [&](const std::uint8_t* from, std::int32_t n, std::uint32_t pauseMs) {
        const std::uint32_t began = clock.TickCount();
        const std::int32_t w = port->Write(from, n, WRITE_LIMIT_MS);
        clock.Sleep(pauseMs);
        dead.Wrote(w, began);
        return dead.GaveUp(clock.TickCount()) ? -1 : w;
    };
    std::unique_ptr<CProgressDlg> progress;
    std::unique_ptr<std::uint8_t[]> scratch;
    auto abandon = [&] {
        scratch.reset();
        progress.reset();
        port.reset();
        wait.End();
        MessageBox(UPDATE_INCOMPLETE, MB_ICONWARNING);
    };

    std::int32_t remaining = sizeof header;
    std::int32_t offset = 0;
    while (remaining != 0) {
        const std::int32_t w = sendChunk(header + offset, std::min(remaining, CHUNK), 200);
        if (w < 0) {
            abandon();
            return;
        }
        offset += w;
        remaining -= w;
    }

    progress = std::make_unique<CProgressDlg>(m_pWnd);
    progress->m_progress.SetRange(0, length);
    progress->SetWindowText("Updating DSP");
    scratch = std::make_unique<std::uint8_t[]>(DRAIN);

    std::int32_t total = 0;
    remaining = length;
    while (remaining != 0) {
        const std::int32_t w = sendChunk(m_image.payload + total, std::min(remaining, CHUNK), 100);
        if (w < 0) {
            abandon();
            return;
        }
        total += w;
        progress->m_progress.SetPos(total);
        remaining -= w;
        const std::int32_t k = port->BytesWaiting();
        if (k != 0) {
            port->Read(scratch.get(), std::min(k, DRAIN), 100);
        }
    }

    scratch.reset();
    Item(IDC_DONE_TEXT)->Show(true);
    Item(IDC_TEST)->Enable(false);
    Item(IDC_UPDATE)->Enable(false);
    Item(IDC_PORT_LIST)->Enable(true);
    progress.reset();
    port.reset();
}

void CUpdaterDlg::OnShowMessages()
{
    MessageBox(JoinedMessages(g_scrambledMessages), MB_ICONINFORMATION);
}
