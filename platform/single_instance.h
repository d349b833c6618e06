// The single-instance lock, held for the life of the process: on Linux a lock file of the given
// name in the user's runtime folder ($XDG_RUNTIME_DIR, else the temporary folder), locked with
// flock; on Windows a named mutex of the session.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class InstanceLock { kAcquired, kAlreadyHeld, kFailed };

class CSingleInstanceLock {
public:
    CSingleInstanceLock() = default;
    ~CSingleInstanceLock();
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;

    // kAlreadyHeld when another process (or another lock of this process) holds the lock of
    // that name; kFailed when the lock cannot be made at all (the caller then goes on as the
    // first instance).
    InstanceLock Acquire(const std::string& strName);
    void Release();

private:
    intptr_t m_nHandle = -1;  // the lock file descriptor, or the mutex handle on Windows
};

// The folder for the user's runtime files (lock files, caches): $XDG_RUNTIME_DIR when set and
// present, else the temp folder; on Windows the temp folder.
std::string GetRuntimeDirectory();

}  // namespace platform
