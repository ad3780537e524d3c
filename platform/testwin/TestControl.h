#pragma once

#include "Records.h"

namespace platform::testwin {

class TestDialog;

// A control of a test dialog: its state lives in a ControlRecord.
class TestControl final : public Window {
public:
    TestControl(TestDialog& dialog, ControlRecord& record);

    std::string GetText() const override;
    void SetText(std::string_view text) override;
    void Enable(bool enable) override;
    bool IsEnabled() const override;
    void Show(bool show) override;
    bool IsVisible() const override;
    Rect GetWindowRect() const override;
    void Move(int left, int top) override;
    int AddString(std::string_view entry) override;
    int SetCurSel(int index) override;
    int GetCurSel() const override;
    int GetCount() const override;
    void SetRange(std::uint16_t lower, std::uint16_t upper) override;
    void SetPos(int position) override;

    ControlRecord& Record() { return m_record; }

private:
    bool IsList() const { return m_record.kind == ControlKind::DropDownList; }

    TestDialog& m_dialog;
    ControlRecord& m_record;
};

}  // namespace platform::testwin
