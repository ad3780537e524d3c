#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <memory>
#include <string_view>

// The bar of the progress window: range and position go to the bar itself.
class CProgressCtrl {
public:
    void Attach(platform::Window* bar) { m_bar = bar; }
    // Both bounds are 16-bit values, as the bar takes them.
    void SetRange(std::uint16_t lower, std::uint16_t upper);
    void SetPos(int position);

private:
    platform::Window* m_bar = nullptr;
};

// A small modeless window with one progress bar, created over `parent`,
// centred on it and shown; the window is destroyed with the object.
class CProgressDlg {
public:
    explicit CProgressDlg(platform::Dialog* parent);
    virtual ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    void SetWindowText(std::string_view title);

    // Where a window of `own` size goes to stand centred on `parent`; each
    // halving truncates toward zero.
    static platform::Rect Centred(const platform::Rect& parent, const platform::Rect& own);

    CProgressCtrl m_progress;

private:
    std::unique_ptr<platform::Dialog> m_wnd;
};
