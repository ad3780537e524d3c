#pragma once

#include <cstdint>
#include <string_view>

class wxWindow;

namespace platform::wx {

// The program's message box: wxMessageDialog on GTK 3 shows no icon, puts
// "No" before "Yes" and answers Escape with Cancel, so the box is our own.
// Shows `text` exactly as given (its own line breaks), the icon and the
// buttons that `style` names (MB_*), Yes left of No, focus on the default
// button. Owned by `owner` (null: none) and centred on it. Returns IDOK,
// IDYES or IDNO, or 0 when the box cannot be shown.
int RunMessageBox(wxWindow* owner, std::string_view text, std::string_view caption,
                  std::uint32_t style);

}  // namespace platform::wx
