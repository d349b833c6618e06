#include "tests/e2e/echo_server.h"

#include <arpa/inet.h>
#include <poll.h>
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

bool SendAll(int nSocket, const char* pData, size_t nSize) {
    while (nSize > 0) {
        ssize_t n = send(nSocket, pData, nSize, MSG_NOSIGNAL);
        if (n <= 0) return false;
        pData += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CEchoServer::CEchoServer(std::string strSubdomain)
    : m_strHandshake("{\"Subdomain\":\"" + strSubdomain + "\"}") {
    m_nListen = ListenOnLoopback(&m_nPort);
    m_thread = std::thread(&CEchoServer::Serve, this);
}

CEchoServer::~CEchoServer() {
    m_bStop = true;
    m_thread.join();
    close(m_nListen);
}

void CEchoServer::Serve() {
    while (!m_bStop) {
        pollfd fd = {m_nListen, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        int nClient = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (nClient < 0) continue;
        ServeConnection(nClient);
        close(nClient);
    }
}

void CEchoServer::ServeConnection(int nSocket) {
    std::string strReceived;
    char buffer[16384];
    bool bGreeted = false;
    while (!m_bStop) {
        pollfd fd = {nSocket, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        ssize_t n = recv(nSocket, buffer, sizeof(buffer), 0);
        if (n <= 0) return;
        if (bGreeted) {
            if (!SendAll(nSocket, buffer, static_cast<size_t>(n))) return;
            continue;
        }
        strReceived.append(buffer, static_cast<size_t>(n));
        if (strReceived.size() < m_strHandshake.size()) continue;
        // Anything but the expected handshake first ends the connection unanswered.
        if (strReceived.compare(0, m_strHandshake.size(), m_strHandshake) != 0) return;
        static const std::string kAccepted = "{\"State\":\"200\"}";
        if (!SendAll(nSocket, kAccepted.data(), kAccepted.size())) return;
        ++m_nHandshakes;
        bGreeted = true;
        const std::string strRest = strReceived.substr(m_strHandshake.size());
        if (!SendAll(nSocket, strRest.data(), strRest.size())) return;
    }
}

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
