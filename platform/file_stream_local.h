// The backends' part of the free space query (file_stream_common.cc adds the test override).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Bytes that an unprivileged user may still write in the folder's file system.
bool SystemFreeSpace(const std::string& strDir, uint64_t* pnBytes);

}  // namespace platform
