// The folders of the user's desktop that hold the program's shortcuts (desktop entries).
#pragma once

#include <string>
#include <vector>

namespace platform {

// The desktop folder first, then the folder of the applications menu; a folder whose place is
// unknown (no home folder) is left out.
std::vector<std::string> GetShortcutFolders();
// The file name extension of a shortcut in those folders.
extern const char kShortcutExtension[];

}  // namespace platform
