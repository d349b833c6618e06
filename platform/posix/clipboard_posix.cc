// The clipboard through the desktop's own tool: wl-copy under Wayland, xclip under X.
#include "platform/clipboard.h"

#include <cstdlib>

#include "platform/process.h"

namespace platform {

bool SetClipboardText(const std::string& strUtf8) {
    const bool bWayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
    const bool bX11 = std::getenv("DISPLAY") != nullptr;
    CSpawnRequest tool;
    if (bWayland && !FindProgramOnPath("wl-copy").empty()) {
        tool.strProgram = "wl-copy";
    } else if (bX11 && !FindProgramOnPath("xclip").empty()) {
        tool = {"xclip", {"-selection", "clipboard"}, {}, ""};
    }
    return !tool.strProgram.empty() && RunWithInput(tool, strUtf8) == 0;
}

}  // namespace platform
