// Shortcuts here are desktop entries; the tool-named program entry is a link to the program.
#include "platform/shortcuts.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/posix/desktop_entry.h"

namespace platform {

void UpdateShortcutIcon(const std::string& strShortcut, const std::string& strIcon,
                        const std::string& strProgram) {
    if (strShortcut.empty() || strIcon.empty()) return;
    std::string text;
    if (!ReadFileBytes(strShortcut, &text)) return;
    const std::vector<std::string> exec = ExecWords(DesktopEntryValue(text, "Exec"));
    if (exec.empty() || exec[0] != strProgram) return;
    if (SetDesktopEntryValue(&text, "Icon", strIcon)) WriteFileAtomic(strShortcut, text);
}

std::string ToolProgramEntry(const std::string& strDir, const std::string& strToolName) {
    return JoinPath(strDir, strToolName);
}

// The program file keeps its name; the entry is a link to it.
void PlaceToolProgramEntry(const std::string& strProgram, const std::string& strEntry) {
    std::string strLink;
    if (strEntry == strProgram || FileExists(strEntry) || DirectoryExists(strEntry) ||
        ReadSymbolicLink(strEntry, &strLink)) {
        return;
    }
    CreateSymbolicLink(strProgram, strEntry);
}

}  // namespace platform
