#include "tests/e2e/e2e_support.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

namespace {

int ListenOnLoopback(int* pnPort) {
    int nSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    if (bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(nSocket, 4) != 0 ||
        getsockname(nSocket, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        close(nSocket);
        return -1;
    }
    *pnPort = ntohs(address.sin_port);
    return nSocket;
}

}  // namespace

int FreeLoopbackPort() {
    int nPort = 0;
    int nSocket = ListenOnLoopback(&nPort);
    close(nSocket);
    return nPort;
}

void KillServiceHard(const std::string& strRunDir) {
    // The supervisor first, so that it cannot clean up or start the worker again.
    for (const char* szFile : {"service.pid", "worker.pid"}) {
        std::ifstream file(strRunDir + "/" + szFile);
        long nPid = 0;
        if (file >> nPid && nPid > 0) kill(static_cast<pid_t>(nPid), SIGKILL);
    }
}
