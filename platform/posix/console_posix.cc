#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

bool IsStandardErrorTerminal() { return isatty(STDERR_FILENO) == 1; }

int SilenceStandardOutput() {
    std::fflush(stdout);
    const int nNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nNull < 0) return -1;
    const int nSaved = dup(STDOUT_FILENO);
    if (nSaved >= 0 && dup2(nNull, STDOUT_FILENO) < 0) {
        close(nSaved);
        close(nNull);
        return -1;
    }
    close(nNull);
    return nSaved;
}

void RestoreStandardOutput(int nSaved) {
    if (nSaved < 0) return;
    std::fflush(stdout);
    dup2(nSaved, STDOUT_FILENO);
    close(nSaved);
}

}  // namespace platform
