// A fresh program directory for one test: created on construction, made the program directory,
// removed on destruction. Settings and command state are reset to their load-time values.
#pragma once

#include <string>
#include <string_view>

class CTempProgramDir {
public:
    CTempProgramDir();
    ~CTempProgramDir();
    const std::string& Path() const { return m_strPath; }
    // Writes a file below the directory, creating folders on the way.
    void WriteFile(std::string_view relativePath, std::string_view content) const;
    std::string ReadFile(std::string_view relativePath) const;
    bool Exists(std::string_view relativePath) const;
    std::string PathOf(std::string_view relativePath) const;
    // Writes an English string file holding the given lines.
    void WriteStrings(std::string_view lines) const;
    // A branding import on Windows renames the running program into this directory under the
    // tool's name (its program entry), which would take the test program away. A file of that
    // name made beforehand keeps it in place, as the rename replaces no file. Elsewhere the entry
    // is a link beside the program and nothing is done.
    void KeepProgramFromTool(std::string_view toolName) const;

private:
    std::string m_strPath;
};
