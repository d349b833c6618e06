// Winsock must be started once in a process before its first socket call.
#pragma once

namespace platform {

// Starts Winsock 2.2 on the first call; later calls do nothing. Safe from any thread.
void EnsureWinsock();

}  // namespace platform
