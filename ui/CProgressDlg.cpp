#include "CProgressDlg.h"

#include "resources/Resources.h"

void CProgressCtrl::SetRange(std::uint16_t lower, std::uint16_t upper)
{
    if (m_bar != nullptr) {
        m_bar->SetRange(lower, upper);
    }
}

void CProgressCtrl::SetPos(int position)
{
    if (m_bar != nullptr) {
        m_bar->SetPos(position);
    }
}

CProgressDlg::CProgressDlg(platform::Dialog* parent)
{
    m_wnd = platform::CurrentWindowSystem().CreateModeless(*resources::FindTemplate(IDD_PROGRESS), parent);
    if (!m_wnd) {
        return;  // no window: positions go nowhere, the upload still runs
    }
    m_progress.Attach(m_wnd->GetDlgItem(IDC_PROGRESS));
    const platform::Rect own = m_wnd->GetWindowRect();
    const platform::Rect at = parent != nullptr ? Centred(parent->GetWindowRect(), own) : own;
    m_wnd->Move(at.left, at.top);
    m_wnd->Show(true);
}

CProgressDlg::~CProgressDlg()
{
    m_progress.Attach(nullptr);
    m_wnd.reset();
}

void CProgressDlg::SetWindowText(std::string_view title)
{
    if (m_wnd) {
        m_wnd->SetText(title);
    }
}

platform::Rect CProgressDlg::Centred(const platform::Rect& parent, const platform::Rect& own)
{
    const int x = (parent.left + parent.right) / 2 - (own.right - own.left) / 2;
    const int y = (parent.top + parent.bottom) / 2 - (own.bottom - own.top) / 2;
    return {x, y, x + own.Width(), y + own.Height()};
}
