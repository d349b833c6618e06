#include "tools/box_sim/sim_pass_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* kHandshakeStart = "{\"Subdomain\":\"";
constexpr const char* kHandshakeEnd = "\"}";
constexpr const char* kAccepted = "{\"State\":\"200\"}";
constexpr int kPollMs = 100;

bool SendAll(int nSocket, const char* pData, size_t nSize) {
    while (nSize > 0) {
        ssize_t n = send(nSocket, pData, nSize, MSG_NOSIGNAL);
        if (n <= 0) return false;
        pData += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

bool IsReadable(int nSocket) {
    pollfd fd = {nSocket, POLLIN, 0};
    return poll(&fd, 1, kPollMs) > 0;
}

}  // namespace

CSimPassServer::~CSimPassServer() {
    Stop();
}

bool CSimPassServer::Start(const std::string& strAddress, int nPort) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    if (inet_pton(AF_INET, strAddress.c_str(), &address.sin_addr) != 1 ||
        (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
        return false;
    }
    m_nListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int nOn = 1;
    setsockopt(m_nListen, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn));
    socklen_t nLength = sizeof(address);
    if (bind(m_nListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_nListen, 4) != 0 ||
        getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        close(m_nListen);
        m_nListen = -1;
        return false;
    }
    m_nPort = ntohs(address.sin_port);
    m_bStop = false;
    m_thread = std::thread(&CSimPassServer::Serve, this);
    return true;
}

void CSimPassServer::Stop() {
    if (m_nListen < 0) return;
    m_bStop = true;
    m_thread.join();
    close(m_nListen);
    m_nListen = -1;
}

std::string CSimPassServer::LastSubdomain() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastSubdomain;
}

void CSimPassServer::Serve() {
    while (!m_bStop) {
        if (!IsReadable(m_nListen)) continue;
        int nClient = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (nClient < 0) continue;
        ServeConnection(nClient);
        close(nClient);
    }
}

bool CSimPassServer::TakeHandshake(std::string* pBytes, int nSocket) {
    const std::string strStart = kHandshakeStart;
    const size_t nCompare = std::min(pBytes->size(), strStart.size());
    if (pBytes->compare(0, nCompare, strStart, 0, nCompare) != 0) return true;  // plain data
    const size_t nEnd = pBytes->find(kHandshakeEnd, strStart.size());
    if (nEnd == std::string::npos) return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strLastSubdomain = pBytes->substr(strStart.size(), nEnd - strStart.size());
    }
    ++m_nHandshakes;
    pBytes->erase(0, nEnd + 2);
    SendAll(nSocket, kAccepted, std::char_traits<char>::length(kAccepted));
    return true;
}

void CSimPassServer::ServeConnection(int nSocket) {
    std::string strPending;
    bool bGreeted = false;
    char buffer[16384];
    while (!m_bStop) {
        if (!IsReadable(nSocket)) continue;
        ssize_t n = recv(nSocket, buffer, sizeof(buffer), 0);
        if (n <= 0) return;
        if (!bGreeted) {
            strPending.append(buffer, static_cast<size_t>(n));
            if (!TakeHandshake(&strPending, nSocket)) continue;
            bGreeted = true;
            if (!SendAll(nSocket, strPending.data(), strPending.size())) return;
            continue;
        }
        if (!SendAll(nSocket, buffer, static_cast<size_t>(n))) return;
    }
}
