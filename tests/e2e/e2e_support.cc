#include "tests/e2e/e2e_support.h"

#include <signal.h>

#include <fstream>

void KillServiceHard(const std::string& strRunDir) {
    // The supervisor first, so that it cannot clean up or start the worker again.
    for (const char* szFile : {"service.pid", "worker.pid"}) {
        std::ifstream file(strRunDir + "/" + szFile);
        long nPid = 0;
        if (file >> nPid && nPid > 0) kill(static_cast<pid_t>(nPid), SIGKILL);
    }
}
