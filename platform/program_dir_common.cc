// The program directory on every system: the override, else the executable's folder.
#include <mutex>

#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace platform {
namespace {

std::mutex g_programDirMutex;
std::string g_strProgramDirOverride;  // empty: the executable's directory

// Separators at the end go, except the one of a root ("/", "\" or "C:\"), whose parent is
// itself.
std::string DropTrailingSeparators(std::string dir) {
    while (dir.size() > 1 && FileNameOf(dir).empty() && ParentDirectory(dir) != dir) {
        dir.pop_back();
    }
    return dir;
}

}  // namespace

std::string GetProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_programDirMutex);
        if (!g_strProgramDirOverride.empty()) return g_strProgramDirOverride;
    }
    return ParentDirectory(GetExecutablePath());
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_programDirMutex);
    g_strProgramDirOverride = DropTrailingSeparators(dir);
}

}  // namespace platform
