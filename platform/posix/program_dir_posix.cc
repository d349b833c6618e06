// The path of the running executable, from /proc/self/exe.
#include <limits.h>
#include <unistd.h>

#include "platform/program_dir.h"

namespace platform {

std::string GetExecutablePath() {
    char szPath[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath));
    if (n <= 0 || static_cast<size_t>(n) >= sizeof(szPath)) return std::string();
    return std::string(szPath, static_cast<size_t>(n));
}

}  // namespace platform
