// The program directory from /proc/self/exe, with an override for tests and the command line.
#include <limits.h>
#include <unistd.h>

#include <mutex>

#include "platform/program_dir.h"

namespace platform {

namespace {

std::mutex g_programDirMutex;
std::string g_strProgramDirOverride;  // empty: the executable's directory

std::string DropTrailingSeparators(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace

std::string GetExecutablePath() {
    char szPath[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath));
    if (n <= 0 || static_cast<size_t>(n) >= sizeof(szPath)) return std::string();
    return std::string(szPath, static_cast<size_t>(n));
}

std::string GetProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_programDirMutex);
        if (!g_strProgramDirOverride.empty()) return g_strProgramDirOverride;
    }
    const std::string exe = GetExecutablePath();
    const size_t nSlash = exe.find_last_of('/');
    if (nSlash == std::string::npos) return ".";
    return nSlash == 0 ? "/" : exe.substr(0, nSlash);
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_programDirMutex);
    g_strProgramDirOverride = DropTrailingSeparators(dir);
}

}  // namespace platform
