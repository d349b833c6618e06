// A start that the process unit offers the other Windows backend files.
#pragma once

#include "platform/process.h"

namespace platform {

// Starts the program as SpawnDetached does, but hands it no handle of ours at all, not even
// standard input and output: for programs the user works with, which live apart from us.
bool SpawnDetachedWithoutHandles(const CSpawnRequest& request);

}  // namespace platform
