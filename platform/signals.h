// Ctrl+C and termination requests, delivered as an ordinary call on a thread of our own rather
// than inside a signal handler.
#pragma once

#include <functional>

namespace platform {

// From now on SIGINT and SIGTERM (on Windows: Ctrl+C, Ctrl+Break and the console's close,
// log-off and shut-down events) call onRequest (from a helper thread) instead of ending the
// process; a second request ends it. Call once, before other threads start, so that they
// inherit the blocked mask.
void HandleTerminationRequests(std::function<void()> onRequest);

}  // namespace platform
