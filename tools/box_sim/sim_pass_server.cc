#include "tools/box_sim/sim_pass_server.h"

#include <algorithm>

#include "tools/box_sim/box_sim.h"

namespace {

constexpr const char* kHandshakeStart = "{\"Subdomain\":\"";
constexpr const char* kHandshakeEnd = "\"}";

}  // namespace

CSimPassServer::~CSimPassServer() {
    Stop();
}

bool CSimPassServer::Start(const std::string& strAddress, uint16_t nPort) {
    if (!IsLoopbackAddress(strAddress)) return false;
    m_listen = platform::ListenTcp(strAddress, nPort, 5);
    if (m_listen == platform::kInvalidSocket) return false;
    m_nPort = platform::SocketLocalPort(m_listen);
    m_acceptThread = std::thread(&CSimPassServer::AcceptLoop, this);
    return true;
}

void CSimPassServer::Stop() {
    if (m_listen == platform::kInvalidSocket) return;
    platform::ShutdownSocket(m_listen);
    m_acceptThread.join();
    platform::CloseSocket(m_listen);
    m_listen = platform::kInvalidSocket;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (platform::SocketHandle s : m_sockets) platform::ShutdownSocket(s);
    }
    for (std::thread& thread : m_threads) thread.join();
    for (platform::SocketHandle s : m_sockets) platform::CloseSocket(s);
    m_threads.clear();
    m_sockets.clear();
}

std::vector<std::string> CSimPassServer::Handshakes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handshakes;
}

int CSimPassServer::Accepted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_sockets.size());
}

int CSimPassServer::Closed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nClosed;
}

void CSimPassServer::AcceptLoop() {
    platform::SocketHandle s;
    while ((s = platform::AcceptConnection(m_listen)) != platform::kInvalidSocket) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sockets.push_back(s);
        m_threads.emplace_back(&CSimPassServer::Serve, this, s);
    }
}

bool CSimPassServer::TakeHandshake(platform::SocketHandle s, std::string* pRest) {
    const std::string strStart = kHandshakeStart;
    std::string strBytes;
    char buffer[4096];
    size_t nEnd = std::string::npos;
    // Until the bytes are known to be no handshake, or the handshake is complete.
    while (strBytes.compare(0, std::min(strBytes.size(), strStart.size()), strStart, 0,
                            std::min(strBytes.size(), strStart.size())) == 0 &&
           (nEnd = strBytes.find(kHandshakeEnd, strStart.size())) == std::string::npos) {
        const long n = platform::SocketReceive(s, buffer, sizeof(buffer));
        if (n <= 0) return false;
        strBytes.append(buffer, static_cast<size_t>(n));
    }
    if (nEnd == std::string::npos) {  // plain data from the start
        *pRest = std::move(strBytes);
        return true;
    }
    nEnd += std::char_traits<char>::length(kHandshakeEnd);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handshakes.push_back(strBytes.substr(0, nEnd));
    }
    *pRest = strBytes.substr(nEnd);
    return m_strAnswer != kCloseInstead &&
           platform::SocketSendAll(s, m_strAnswer.data(), m_strAnswer.size());
}

void CSimPassServer::Serve(platform::SocketHandle s) {
    std::string strRest;
    bool bEcho =
        TakeHandshake(s, &strRest) && platform::SocketSendAll(s, strRest.data(), strRest.size());
    char buffer[16384];
    long n = 0;
    while (bEcho && (n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0) {
        bEcho = platform::SocketSendAll(s, buffer, static_cast<size_t>(n));
    }
    platform::ShutdownSocket(s);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nClosed;
}
