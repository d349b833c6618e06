// The single-instance lock as a named mutex of the session. The mutex exists while any handle
// to it is open, so it ends with the process however that ends; a second CreateMutex of the
// name opens the existing one and reports ERROR_ALREADY_EXISTS.
#include <windows.h>

#include "platform/single_instance.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/wide_text.h"

namespace platform {

CSingleInstanceLock::~CSingleInstanceLock() {
    Release();
}

InstanceLock CSingleInstanceLock::Acquire(const std::string& strName) {
    Release();
    HANDLE hMutex = CreateMutexW(nullptr, FALSE, WideFromUtf8(strName).c_str());
    if (hMutex == nullptr) return InstanceLock::kFailed;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(hMutex);
        return InstanceLock::kAlreadyHeld;
    }
    m_nHandle = reinterpret_cast<intptr_t>(hMutex);
    return InstanceLock::kAcquired;
}

void CSingleInstanceLock::Release() {
    if (m_nHandle != -1) CloseHandle(reinterpret_cast<HANDLE>(m_nHandle));
    m_nHandle = -1;
}

std::string GetRuntimeDirectory() {
    return TempFolderPath();
}

}  // namespace platform
