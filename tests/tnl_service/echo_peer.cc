#include "tests/tnl_service/echo_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tnl_service_test {

namespace {

constexpr int kConnectPauseMs = 20;

sockaddr_in Loopback(uint16_t nPort) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket bound to 127.0.0.1 on a port of the system's choice; its port in *pPort.
int BindLoopback(int nType, uint16_t* pPort) {
    int nFd = socket(AF_INET, nType | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nLength = sizeof(address);
    bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLength);
    *pPort = ntohs(address.sin_port);
    return nFd;
}

}  // namespace

uint16_t FreeLoopbackPort() {
    uint16_t nPort = 0;
    close(BindLoopback(SOCK_STREAM, &nPort));
    return nPort;
}

CEchoPeer::CEchoPeer(EPeerKind eKind, uint16_t nTargetPort)
    : m_eKind(eKind), m_nTargetPort(nTargetPort), m_nWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (eKind != EPeerKind::kTcpClient) {
        m_nSocket = BindLoopback(eKind == EPeerKind::kUdp ? SOCK_DGRAM : SOCK_STREAM, &m_nPort);
        if (eKind == EPeerKind::kTcpServer) listen(m_nSocket, 4);
    }
    m_thread = std::thread(&CEchoPeer::Serve, this);
}

CEchoPeer::~CEchoPeer() {
    m_bStop = true;
    Wake();
    m_thread.join();
    for (int nFd : m_connections) close(nFd);
    if (m_nSocket >= 0) close(m_nSocket);
    close(m_nWake);
}

void CEchoPeer::Wake() {
    uint64_t nOne = 1;
    if (write(m_nWake, &nOne, sizeof(nOne)) < 0) return;
}

void CEchoPeer::DropConnections() {
    m_bDrop = true;
    Wake();
}

void CEchoPeer::Serve() {
    while (!m_bStop) {
        if (m_bDrop.exchange(false)) {
            for (int nFd : m_connections) close(nFd);
            m_connections.clear();
        }
        if (m_eKind == EPeerKind::kTcpClient && m_connections.empty()) {
            int nFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = Loopback(m_nTargetPort);
            if (connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                m_connections.push_back(nFd);
                ++m_nConnections;
            } else {
                close(nFd);
            }
        }
        std::vector<pollfd> fds = {{m_nWake, POLLIN, 0}};
        if (m_nSocket >= 0) fds.push_back({m_nSocket, POLLIN, 0});
        for (int nFd : m_connections) fds.push_back({nFd, POLLIN, 0});
        bool bWaiting = m_eKind == EPeerKind::kTcpClient && m_connections.empty();
        poll(fds.data(), fds.size(), bWaiting ? kConnectPauseMs : -1);
        uint64_t nCount;
        if (read(m_nWake, &nCount, sizeof(nCount)) < 0) nCount = 0;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0) OnReady(fds[i].fd);
        }
    }
}

void CEchoPeer::OnReady(int nFd) {
    char szData[65536];
    if (nFd == m_nSocket && m_eKind == EPeerKind::kTcpServer) {
        m_connections.push_back(accept4(m_nSocket, nullptr, nullptr, SOCK_CLOEXEC));
        ++m_nConnections;
    } else if (nFd == m_nSocket) {
        sockaddr_in sender = {};
        socklen_t nLength = sizeof(sender);
        ssize_t nRead = recvfrom(nFd, szData, sizeof(szData), 0,
                                 reinterpret_cast<sockaddr*>(&sender), &nLength);
        if (nRead > 0) sendto(nFd, szData, nRead, 0, reinterpret_cast<sockaddr*>(&sender), nLength);
    } else {
        ssize_t nRead = recv(nFd, szData, sizeof(szData), 0);
        if (nRead > 0 && send(nFd, szData, nRead, MSG_NOSIGNAL) == nRead) return;
        close(nFd);
        std::erase(m_connections, nFd);
    }
}

}  // namespace tnl_service_test
