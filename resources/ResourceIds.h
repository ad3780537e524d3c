#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>

// Identifiers of the program's resources, its controls and its commands.

// The buttons OK and Cancel are the window system's own identifiers.
using platform::IDCANCEL;
using platform::IDOK;

// A control without an identifier.
inline constexpr int IDC_STATIC = -1;

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_PROGRESS = 6000;

// Controls.
inline constexpr int IDC_PORT_LIST = 1000;
inline constexpr int IDC_TEST = 1002;
inline constexpr int IDC_UPDATE = 1003;
inline constexpr int IDC_DONE_TEXT = 1004;
inline constexpr int IDC_VERSION_TEXT = 1005;
inline constexpr int IDC_UPDATE_TEXT = 1006;
inline constexpr int IDC_ABOUT_TITLE = 1007;
inline constexpr int IDC_PROGRESS = 6000;

// Strings, icons, accelerator tables.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_ACCELERATORS = 130;

// Commands: the hidden message (sent by the accelerators) and the About item
// of the system menu (a system command).
inline constexpr int ID_SHOW_MESSAGES = 32771;
inline constexpr std::uint32_t IDM_ABOUTBOX = 16;
