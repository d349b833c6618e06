// The single-instance lock on flock. The lock belongs to the open file description, so it ends
// with the process however that ends; the file itself stays, since removing it would let a
// later instance lock a fresh file while an earlier one still holds the old.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/single_instance.h"

namespace platform {

CSingleInstanceLock::~CSingleInstanceLock() {
    Release();
}

InstanceLock CSingleInstanceLock::Acquire(const std::string& strName) {
    Release();
    const std::string path = JoinPath(GetRuntimeDirectory(), strName);
    int fd;
    do {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return InstanceLock::kFailed;
    int nResult;
    do {
        nResult = flock(fd, LOCK_EX | LOCK_NB);
    } while (nResult != 0 && errno == EINTR);
    if (nResult != 0) {
        const bool bHeld = errno == EWOULDBLOCK;
        close(fd);
        return bHeld ? InstanceLock::kAlreadyHeld : InstanceLock::kFailed;
    }
    m_nHandle = fd;
    return InstanceLock::kAcquired;
}

void CSingleInstanceLock::Release() {
    if (m_nHandle >= 0) close(static_cast<int>(m_nHandle));
    m_nHandle = -1;
}

std::string GetRuntimeDirectory() {
    const char* szRuntime = std::getenv("XDG_RUNTIME_DIR");
    if (szRuntime != nullptr && *szRuntime != '\0' && DirectoryExists(szRuntime)) return szRuntime;
    const char* szTmp = std::getenv("TMPDIR");
    return (szTmp != nullptr && *szTmp != '\0') ? szTmp : "/tmp";
}

}  // namespace platform
