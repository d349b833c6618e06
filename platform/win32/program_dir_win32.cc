// The program directory from the module's file name, with an override for tests and the
// command line.
#include <windows.h>

#include <mutex>

#include "platform/program_dir.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

std::mutex g_programDirMutex;
std::string g_strProgramDirOverride;  // empty: the executable's directory

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Separators at the end go, except the one of a root ("\" or "C:\").
std::string DropTrailingSeparators(std::string dir) {
    while (dir.size() > 1 && IsSeparator(dir.back()) && !(dir.size() == 3 && dir[1] == ':')) {
        dir.pop_back();
    }
    return dir;
}

}  // namespace

std::string GetExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD ulSize = static_cast<DWORD>(path.size());
        const DWORD ulLength = GetModuleFileNameW(nullptr, path.data(), ulSize);
        if (ulLength == 0) return std::string();
        // A name that fills the buffer may have been cut: try again with a larger one.
        if (ulLength < ulSize) return Utf8FromWide(std::wstring_view(path.data(), ulLength));
        if (ulSize >= 32768) return std::string();  // longer than any path Windows allows
        path.resize(path.size() * 2);
    }
}

std::string GetProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_programDirMutex);
        if (!g_strProgramDirOverride.empty()) return g_strProgramDirOverride;
    }
    const std::string exe = GetExecutablePath();
    const size_t nSlash = exe.find_last_of("\\/");
    if (nSlash == std::string::npos) return ".";
    return DropTrailingSeparators(exe.substr(0, nSlash + 1));
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_programDirMutex);
    g_strProgramDirOverride = DropTrailingSeparators(dir);
}

}  // namespace platform
