#pragma once

#include "../ResourceTypes.h"

#include <cstdint>
#include <vector>

// A dialog template in the layout that the dialog manager reads from memory
// (CreateDialogIndirectParamW): a DLGTEMPLATE with DS_SETFONT and the
// template's font, so that dialog units are those the dialog was designed
// in, followed by one DLGITEMTEMPLATE per control, each on a 32-bit
// boundary. Words, not bytes: the whole template is 16-bit aligned.
namespace platform::win32 {

// `dialogTemplate` without WS_VISIBLE when `showLater` (the caller shows the
// dialog itself once it is initialised).
std::vector<std::uint16_t> DialogTemplateWords(const DialogTemplate& dialogTemplate, bool showLater);

// The window style of one control as the template describes it.
std::uint32_t ControlStyle(const ControlTemplate& control);

}  // namespace platform::win32
