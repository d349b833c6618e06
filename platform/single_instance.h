// The single-instance lock: a lock file of the given name in the user's runtime folder
// ($XDG_RUNTIME_DIR, else the temporary folder), held with flock for the life of the process.
#pragma once

#include <string>

namespace platform {

enum class InstanceLock { kAcquired, kAlreadyHeld, kFailed };

class CSingleInstanceLock {
public:
    CSingleInstanceLock() = default;
    ~CSingleInstanceLock();
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;

    // kAlreadyHeld when another process holds the lock of that name; kFailed when the lock
    // file cannot be made at all (the caller then goes on as the first instance).
    InstanceLock Acquire(const std::string& strName);
    void Release();

private:
    int m_fd = -1;
};

// The folder that holds lock files: $XDG_RUNTIME_DIR when set and present, else the temp folder.
std::string GetRuntimeDirectory();

}  // namespace platform
