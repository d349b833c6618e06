// The console on CRT descriptors: standard error counts as a terminal only when it is a console
// (the NUL device is a character device too, which _isatty alone would accept).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

bool IsStandardErrorTerminal() {
    const int fd = _fileno(stderr);
    if (fd < 0 || !_isatty(fd)) return false;
    DWORD ulMode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &ulMode) != 0;
}

int SilenceStandardOutput() {
    std::fflush(stdout);
    const int nOut = _fileno(stdout);
    const int nNull = _open("NUL", _O_WRONLY | _O_NOINHERIT);
    if (nOut < 0 || nNull < 0) {
        if (nNull >= 0) _close(nNull);
        return -1;
    }
    const int nSaved = _dup(nOut);
    if (nSaved >= 0 && _dup2(nNull, nOut) != 0) {
        _close(nSaved);
        _close(nNull);
        return -1;
    }
    _close(nNull);
    return nSaved;
}

void RestoreStandardOutput(int nSaved) {
    if (nSaved < 0) return;
    std::fflush(stdout);
    _dup2(nSaved, _fileno(stdout));
    _close(nSaved);
}

}  // namespace platform
