// A crash of the tunnel service, as the end-to-end tests cause it.
#pragma once

#include <string>

// Kills the tunnel service's processes of the run folder at once (SIGKILL), as a crash would.
void KillServiceHard(const std::string& strRunDir);
