// Files in pieces on POSIX descriptors. Exclusive opening uses a non-blocking flock, which keeps
// other programs that also lock from using the file while a transfer has it open.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <vector>

#include "platform/file_stream.h"
#include "platform/file_stream_local.h"

namespace platform {

bool CFileStream::Open(const std::string& strPath, Mode mode) {
    Close();
    const int nFlags = mode == Mode::kReadExisting ? O_RDONLY : (O_RDWR | O_CREAT | O_TRUNC);
    const int fd = open(strPath.c_str(), nFlags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_nHandle = fd;
    return true;
}

bool CFileStream::Seek(int64_t nOffset, Origin origin, int64_t* pnPosition) {
    if (m_nHandle < 0) return false;
    const off_t nResult = lseek(m_nHandle, nOffset, origin == Origin::kEnd ? SEEK_END : SEEK_SET);
    if (nResult < 0) return false;
    if (pnPosition != nullptr) *pnPosition = nResult;
    return true;
}

int OpenFileHandle(const std::string& strPath, bool bWrite) {
    const int nFlags = bWrite ? (O_RDWR | O_CREAT) : O_RDONLY;
    const int fd = open(strPath.c_str(), nFlags | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool CFileStream::Read(void* pBuffer, size_t nLength, size_t* pnRead) {
    *pnRead = 0;
    if (m_nHandle < 0) return false;
    ssize_t n;
    do {
        n = read(m_nHandle, pBuffer, nLength);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return false;
    *pnRead = static_cast<size_t>(n);
    return true;
}

bool CFileStream::Write(const void* pData, size_t nLength, size_t* pnWritten) {
    *pnWritten = 0;
    if (m_nHandle < 0) return false;
    ssize_t n;
    do {
        n = write(m_nHandle, pData, nLength);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return false;
    *pnWritten = static_cast<size_t>(n);
    return true;
}

bool CFileStream::GetSize(uint64_t* pnSize) const {
    struct stat info {};
    if (m_nHandle < 0 || fstat(m_nHandle, &info) != 0) return false;
    *pnSize = static_cast<uint64_t>(info.st_size);
    return true;
}

bool CFileStream::Close() {
    if (m_nHandle < 0) return true;
    const int fd = m_nHandle;
    m_nHandle = -1;
    return close(fd) == 0;
}

bool SystemFreeSpace(const std::string& strDir, uint64_t* pnBytes) {
    struct statvfs info {};
    if (statvfs(strDir.c_str(), &info) != 0) return false;
    *pnBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

bool CopyFileBytes(const std::string& strFrom, const std::string& strTo) {
    CFileStream source, target;
    if (!source.Open(strFrom, CFileStream::Mode::kReadExisting) ||
        !target.Open(strTo, CFileStream::Mode::kCreateAlways)) {
        return false;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        size_t nRead = 0;
        if (!source.Read(buffer.data(), buffer.size(), &nRead)) return false;
        if (nRead == 0) break;
        if (!target.WriteAll(buffer.data(), nRead)) return false;
    }
    return target.Close();
}

}  // namespace platform
