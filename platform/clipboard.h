// The desktop's clipboard.
#pragma once

#include <string>

namespace platform {

// Puts the text on the clipboard. On Windows it is set as Unicode text; here a clipboard tool
// of the desktop takes it (wl-copy under Wayland, else xclip under X). False when no clipboard
// took the text.
bool SetClipboardText(const std::string& strUtf8);

}  // namespace platform
