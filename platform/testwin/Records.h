#pragma once

#include "../WindowSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the test window system remembers of every window and message box.
// Records outlive their windows, so a test can look at a dialog after the
// code under test has destroyed it.
namespace platform::testwin {

struct ControlRecord {
    int id = -1;
    ControlKind kind = ControlKind::StaticLeft;
    bool sorted = false;
    std::string text;
    bool enabled = true;
    bool visible = true;
    Rect rect;  // pixels, relative to the dialog's top-left corner

    // Drop-down list.
    std::vector<std::string> entries;
    int selection = CB_ERR;

    // Progress bar: the last range set and every position set, in order.
    bool rangeSet = false;
    std::uint16_t rangeLower = 0;
    std::uint16_t rangeUpper = 100;
    std::vector<int> positions;
};

struct MenuItem {
    std::uint32_t command = 0;  // 0 for a separator
    std::string text;
    bool separator = false;
};

struct DialogRecord {
    int templateId = 0;
    bool modal = false;
    const DialogRecord* owner = nullptr;
    std::string caption;
    bool enabled = true;
    bool visible = false;
    bool destroyed = false;
    Rect rect;                  // screen pixels
    std::optional<int> result;  // set by EndDialog
    bool closePosted = false;   // a PostClose not handled yet
    std::vector<ControlRecord> controls;  // template order
    std::vector<AcceleratorEntry> accelerators;
    bool hasSystemMenu = false;        // the template has WS_SYSMENU
    std::vector<MenuItem> systemMenu;  // items appended by the program
    const IconResource* icon = nullptr;

    // The control with identifier `id`, or null.
    const ControlRecord* Control(int id) const;
    ControlRecord* Control(int id);
};

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
    const DialogRecord* owner = nullptr;
    int answer = 0;
};

}  // namespace platform::testwin
