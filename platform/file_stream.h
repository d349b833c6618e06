// A file opened for reading or writing in pieces, for transfers and digests that must not hold
// a whole file in memory, and the free space of a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/windows_names.h"

namespace platform {

class CFileStream {
public:
    enum class Mode {
        kReadExisting,  // read only, the file must exist
        kCreateAlways,  // read and write, created or emptied
    };

    CFileStream() = default;
    ~CFileStream() { Close(); }
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // Opens the file exclusively: while it is open, another open of the same file through this
    // class fails (on Windows any other open of it fails).
    bool Open(const std::string& strPath, Mode mode);
    // Takes over a descriptor from OpenFileHandle (closing what was open before); the stream
    // closes it from now on.
    void Attach(int nHandle);
    // Gives the descriptor back without closing it; the stream is closed afterwards.
    int Detach();
    bool IsOpen() const { return m_nHandle >= 0; }
    enum class Origin { kBegin, kEnd };
    // Moves the file position to nOffset from the origin; *pnPosition (may be null) gets the new
    // position from the start.
    bool Seek(int64_t nOffset, Origin origin, int64_t* pnPosition);
    // Reads up to nLength bytes; *pnRead is 0 at the end of the file.
    bool Read(void* pBuffer, size_t nLength, size_t* pnRead);
    // Writes up to nLength bytes; *pnWritten may be less than asked.
    bool Write(const void* pData, size_t nLength, size_t* pnWritten);
    // Writes all nLength bytes, continuing after partial writes; false when a write fails or
    // writes nothing.
    bool WriteAll(const void* pData, size_t nLength) {
        const char* pNext = static_cast<const char*>(pData);
        while (nLength > 0) {
            size_t nWritten = 0;
            if (!Write(pNext, nLength, &nWritten) || nWritten == 0) return false;
            pNext += nWritten;
            nLength -= nWritten;
        }
        return true;
    }
    bool GetSize(uint64_t* pnSize) const;
    // Closes the file; false when the system reported a delayed write error.
    bool Close();

private:
    int m_nHandle = -1;
};

// Opens a file without locking it, as a descriptor for CFileStream::Attach: for reading, or for
// reading and writing, created when missing with read and write permission for the owner only
// (on Windows with the folder's inherited permissions) and never truncated. -1 when it fails
// (also for a folder).
int OpenFileHandle(const std::string& strPath, bool bWrite);

// Bytes that an unprivileged user may still write in the folder's file system.
bool GetFreeSpace(const std::string& strDir, uint64_t* pnBytes);
// Makes GetFreeSpace report this many bytes everywhere (tests of a full disk); a negative value
// restores the real figure.
void SetFreeSpaceForTesting(int64_t nBytes);

// Copies a file's bytes over another file (created or replaced).
bool CopyFileBytes(const std::string& strFrom, const std::string& strTo);

}  // namespace platform
