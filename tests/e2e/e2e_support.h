// What the end-to-end tests need besides the program: a free port, and a crash of the service.
#pragma once

#include <string>

// A port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();
// Kills the tunnel service's processes of the run folder at once (SIGKILL), as a crash would.
void KillServiceHard(const std::string& strRunDir);
