// Ctrl+C and termination requests, delivered as an ordinary call on a thread of our own rather
// than inside a signal handler.
#pragma once

#include <functional>

namespace platform {

// From now on SIGINT and SIGTERM call onRequest (from a helper thread) instead of ending the
// process. Call once, before other threads start, so that they inherit the blocked mask.
void HandleTerminationRequests(std::function<void()> onRequest);

}  // namespace platform
