// The program's shortcuts (shell links on Windows, desktop entries here) and the program entry
// named after the edition's tool name, which a restart starts.
#pragma once

#include <string>

namespace platform {

// Sets the shortcut's icon to strIcon (the first icon of the file on Windows) when the shortcut
// starts strProgram, compared exactly. Empty paths, a shortcut that is missing, unreadable or
// for another program: nothing changes.
void UpdateShortcutIcon(const std::string& strShortcut, const std::string& strIcon,
                        const std::string& strProgram);

// The entry in strDir, named after a tool name, that starts the program: on Windows the program
// file itself under that name ("<dir>\<tool>.exe"); here a link "<dir>/<tool>" to it.
std::string ToolProgramEntry(const std::string& strDir, const std::string& strToolName);
// Makes strEntry start the running program strProgram: on Windows the program file is renamed
// to it when both are in the same folder; here a link to the program is made unless something
// has that name already. Failures are ignored.
void PlaceToolProgramEntry(const std::string& strProgram, const std::string& strEntry);

}  // namespace platform
