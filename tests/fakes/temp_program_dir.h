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

private:
    std::string m_strPath;
};
