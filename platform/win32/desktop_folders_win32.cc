// The all-users desktop and Programs menu, where the installer puts the program's shortcuts.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/desktop_folders.h"
#include "platform/win32/wide_text.h"

namespace platform {

const char kShortcutExtension[] = ".lnk";

namespace {

// The folder's path; empty when the system does not know it.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR szPath = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &szPath))) path = Utf8FromWide(szPath);
    CoTaskMemFree(szPath);
    return path;
}

}  // namespace

std::vector<std::string> GetShortcutFolders() {
    std::vector<std::string> folders;
    for (REFKNOWNFOLDERID id : {FOLDERID_PublicDesktop, FOLDERID_CommonPrograms}) {
        const std::string folder = KnownFolder(id);
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

}  // namespace platform
