// Files in pieces on Windows file handles, handed out as CRT descriptors (_open_osfhandle) so
// that the interface keeps its int. Exclusive opening shares the file with nobody: while a
// transfer has it open, no other open of it succeeds.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "platform/file_stream.h"
#include "platform/file_stream_local.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

constexpr size_t kMaxChunk = 1u << 30;  // one ReadFile or WriteFile moves at most a DWORD

HANDLE OsHandle(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A descriptor that owns the handle from now on; -1 (and the handle closed) when that fails.
int ToDescriptor(HANDLE hFile, bool bReadOnly) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(hFile),
                                   _O_BINARY | (bReadOnly ? _O_RDONLY : 0));
    if (fd < 0) CloseHandle(hFile);
    return fd;
}

// Opens a file (never a folder: without backup semantics CreateFile refuses folders).
HANDLE OpenFile(const std::string& strPath, DWORD ulAccess, DWORD ulShare, DWORD ulDisposition) {
    return CreateFileW(WideFromUtf8(strPath).c_str(), ulAccess, ulShare, nullptr, ulDisposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool CFileStream::Open(const std::string& strPath, Mode mode) {
    Close();
    const bool bRead = mode == Mode::kReadExisting;
    const HANDLE hFile = OpenFile(strPath, bRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE, 0,
                                  bRead ? OPEN_EXISTING : CREATE_ALWAYS);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(hFile) != FILE_TYPE_DISK) {
        CloseHandle(hFile);
        return false;
    }
    m_nHandle = ToDescriptor(hFile, bRead);
    return m_nHandle >= 0;
}

bool CFileStream::Seek(int64_t nOffset, Origin origin, int64_t* pnPosition) {
    if (m_nHandle < 0) return false;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = nOffset;
    if (!SetFilePointerEx(OsHandle(m_nHandle), distance, &position,
                          origin == Origin::kEnd ? FILE_END : FILE_BEGIN)) {
        return false;
    }
    if (pnPosition != nullptr) *pnPosition = position.QuadPart;
    return true;
}

int OpenFileHandle(const std::string& strPath, bool bWrite) {
    const HANDLE hFile =
        OpenFile(strPath, bWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                 FILE_SHARE_READ | FILE_SHARE_WRITE, bWrite ? OPEN_ALWAYS : OPEN_EXISTING);
    return hFile == INVALID_HANDLE_VALUE ? -1 : ToDescriptor(hFile, !bWrite);
}

bool CFileStream::Read(void* pBuffer, size_t nLength, size_t* pnRead) {
    *pnRead = 0;
    DWORD ulRead = 0;
    if (m_nHandle < 0 || !ReadFile(OsHandle(m_nHandle), pBuffer,
                                   static_cast<DWORD>(std::min(nLength, kMaxChunk)), &ulRead,
                                   nullptr)) {
        return false;
    }
    *pnRead = ulRead;
    return true;
}

bool CFileStream::Write(const void* pData, size_t nLength, size_t* pnWritten) {
    *pnWritten = 0;
    DWORD ulWritten = 0;
    if (m_nHandle < 0 || !WriteFile(OsHandle(m_nHandle), pData,
                                    static_cast<DWORD>(std::min(nLength, kMaxChunk)), &ulWritten,
                                    nullptr)) {
        return false;
    }
    *pnWritten = ulWritten;
    return true;
}

bool CFileStream::GetSize(uint64_t* pnSize) const {
    LARGE_INTEGER size{};
    if (m_nHandle < 0 || !GetFileSizeEx(OsHandle(m_nHandle), &size)) return false;
    *pnSize = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool CFileStream::Close() {
    if (m_nHandle < 0) return true;
    const int fd = m_nHandle;
    m_nHandle = -1;
    return _close(fd) == 0;
}

bool SystemFreeSpace(const std::string& strDir, uint64_t* pnBytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(WideFromUtf8(strDir).c_str(), &available, nullptr, nullptr)) {
        return false;
    }
    *pnBytes = available.QuadPart;
    return true;
}

bool CopyFileBytes(const std::string& strFrom, const std::string& strTo) {
    return CopyFileW(WideFromUtf8(strFrom).c_str(), WideFromUtf8(strTo).c_str(), FALSE) != 0;
}

}  // namespace platform
