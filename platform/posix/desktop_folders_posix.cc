#include "platform/desktop_folders.h"

#include <cstdlib>

#include "platform/file_system.h"

namespace platform {

const char kShortcutExtension[] = ".desktop";

namespace {

// An XDG base folder: the variable when it holds an absolute path, else home + fallback.
std::string XdgFolder(const char* szVariable, const char* szFallback) {
    const char* szValue = std::getenv(szVariable);
    if (szValue != nullptr && szValue[0] == '/') return szValue;
    const std::string home = GetHomeDirectory();
    return home.empty() ? "" : JoinPath(home, szFallback);
}

}  // namespace

std::vector<std::string> GetShortcutFolders() {
    std::vector<std::string> folders;
    const std::string desktop = XdgFolder("XDG_DESKTOP_DIR", "Desktop");
    if (!desktop.empty()) folders.push_back(desktop);
    const std::string data = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (!data.empty()) folders.push_back(JoinPath(data, "applications"));
    return folders;
}

}  // namespace platform
