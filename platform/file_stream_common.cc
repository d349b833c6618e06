// What files need the same on every system: a stream taking over and giving back a descriptor,
// and the free space of a folder (the figure a test set, else the system's).
#include <atomic>

#include "platform/file_stream.h"
#include "platform/file_stream_local.h"

namespace platform {
namespace {

std::atomic<int64_t> g_nFreeSpaceOverride{-1};

}  // namespace

void CFileStream::Attach(int nHandle) {
    Close();
    m_nHandle = nHandle;
}

int CFileStream::Detach() {
    const int fd = m_nHandle;
    m_nHandle = -1;
    return fd;
}

void SetFreeSpaceForTesting(int64_t nBytes) { g_nFreeSpaceOverride = nBytes; }

bool GetFreeSpace(const std::string& strDir, uint64_t* pnBytes) {
    const int64_t nOverride = g_nFreeSpaceOverride;
    if (nOverride < 0) return SystemFreeSpace(strDir, pnBytes);
    *pnBytes = static_cast<uint64_t>(nOverride);
    return true;
}

}  // namespace platform
