#include "tools/box_sim/sim_tcp_server.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "tools/box_sim/sim_channel.h"
#include "tools/box_sim/sim_exchange.h"
#include "tools/box_sim/sim_socket.h"

namespace {

constexpr size_t kReadSize = 256 * 1024;

constexpr size_t kMaxLine = 65536;  // a longer run of bytes without "\r" is taken as one line
constexpr int kBacklog = 16;

// A TCP connection as a stream of command lines and transfer bytes.
class CSimTcpChannel : public CSimChannel {
  public:
    CSimTcpChannel(CSimBoxCore& core, int nSocket) : m_core(core), m_nSocket(nSocket) {}

    bool ReadCommand(std::string* line) override;
    bool ReadData(size_t n, std::string* data, unsigned nIdleMs) override;
    bool SendMessage(const std::string& message) override {
        return m_bOpen && SendSimBytes(m_core, m_nSocket, message.data(), message.size());
    }
    void Disconnect() override {
        m_bOpen = false;
        shutdown(m_nSocket, SHUT_RDWR);
    }
    bool IsOpen() const override { return m_bOpen; }

  private:
    // Appends what arrives within nIdleMs (0: no limit) to the buffer; false when the link ended,
    // the box restarts or the sim stops (m_bOpen turns false), or nothing came in time.
    bool Fill(unsigned nIdleMs, size_t nWant = kReadSize);
    // The "\n" of a "\r\n" that arrived after its "\r" belongs to the previous command.
    void DropLateLineFeed();

    CSimBoxCore& m_core;
    int m_nSocket;
    bool m_bOpen = true;
    bool m_bAfterBareCr = false;
    std::string m_strBuffer;
    std::vector<char> m_chunk = std::vector<char>(kReadSize);
};

bool CSimTcpChannel::Fill(unsigned nIdleMs, size_t nWant) {
    for (unsigned nWaited = 0; m_bOpen; nWaited += kSimPollMs) {
        if (m_core.bStopping || m_core.IsRestarting()) break;
        if (nIdleMs != 0 && nWaited >= nIdleMs) return false;
        int nReady = WaitSimReadable(m_nSocket, kSimPollMs);
        if (nReady == 0) continue;
        // Large reads keep up with a file transfer; a command arrives in one read anyway.
        ssize_t nRead = nReady < 0 ? -1 : recv(m_nSocket, m_chunk.data(), std::min(nWant, m_chunk.size()), 0);
        if (nRead < 0 && errno == EINTR) continue;
        if (nRead <= 0) break;
        m_core.RecordBytes(m_chunk.data(), static_cast<size_t>(nRead));
        m_strBuffer.append(m_chunk.data(), static_cast<size_t>(nRead));
        return true;
    }
    m_bOpen = false;
    return false;
}

void CSimTcpChannel::DropLateLineFeed() {
    if (!m_bAfterBareCr || m_strBuffer.empty()) return;
    m_bAfterBareCr = false;
    if (m_strBuffer[0] == '\n') m_strBuffer.erase(0, 1);
}

bool CSimTcpChannel::ReadCommand(std::string* line) {
    if (!m_bOpen) return false;
    for (;;) {
        DropLateLineFeed();
        size_t nCr = m_strBuffer.find('\r');
        if (nCr != std::string::npos) {
            size_t nEnd = nCr + 1;
            if (nEnd < m_strBuffer.size() && m_strBuffer[nEnd] == '\n') ++nEnd;
            *line = m_strBuffer.substr(0, nEnd);
            m_strBuffer.erase(0, nEnd);
            m_bAfterBareCr = line->back() == '\r' && m_strBuffer.empty();
            return true;
        }
        if (m_strBuffer.size() >= kMaxLine) {
            line->swap(m_strBuffer);
            m_strBuffer.clear();
            return true;
        }
        if (!Fill(0)) return false;
    }
}

bool CSimTcpChannel::ReadData(size_t n, std::string* data, unsigned nIdleMs) {
    data->clear();
    m_strBuffer.reserve(n);
    while (m_strBuffer.size() < n) {
        if (!m_bOpen || !Fill(nIdleMs, n - m_strBuffer.size())) {
            data->swap(m_strBuffer);
            m_strBuffer.clear();
            return false;
        }
    }
    if (m_strBuffer.size() == n) {
        data->swap(m_strBuffer);
        m_strBuffer.clear();
    } else {
        *data = m_strBuffer.substr(0, n);
        m_strBuffer.erase(0, n);
    }
    m_bAfterBareCr = false;
    return true;
}

}  // namespace

bool CSimTcpServer::Start() {
    m_nListenSocket = BindSimSocket(SOCK_STREAM, m_core.config.strAddress, m_core.config.nTcpPort);
    if (m_nListenSocket < 0 || listen(m_nListenSocket, kBacklog) != 0) {
        CloseListener();
        return false;
    }
    // The socket stays bound through restarts; without the reuse flag no other sim can take the
    // address while this one does not listen.
    SetReuseAddress(m_nListenSocket, false);
    m_bListening = true;
    m_acceptThread = std::thread(&CSimTcpServer::AcceptLoop, this);
    return true;
}

void CSimTcpServer::Stop() {
    if (m_acceptThread.joinable()) m_acceptThread.join();
    CloseListener();
}

void CSimTcpServer::CloseListener() {
    if (m_nListenSocket >= 0) close(m_nListenSocket);
    m_nListenSocket = -1;
}

// For the restart window the listener stops listening (connections are refused) and every
// connection ends; afterwards the same socket listens again.
void CSimTcpServer::FollowRestart() {
    bool bRestarting = m_core.IsRestarting();
    if (bRestarting && m_bListening) {
        shutdown(m_nListenSocket, SHUT_RDWR);
        m_bListening = false;
        ShutdownConnections();
    } else if (!bRestarting && !m_bListening) {
        // Listening again checks the port against this socket's own (closing) connections.
        SetReuseAddress(m_nListenSocket, true);
        m_bListening = listen(m_nListenSocket, kBacklog) == 0;
        SetReuseAddress(m_nListenSocket, false);
    }
}

void CSimTcpServer::AcceptLoop() {
    while (!m_core.bStopping) {
        Reap(false);
        FollowRestart();
        if (!m_bListening) {
            m_core.SleepFor(kSimPollMs);
        } else if (WaitSimReadable(m_nListenSocket, kSimPollMs) > 0) {
            AcceptOne();
        }
    }
    ShutdownConnections();
    Reap(true);
}

// Connections carry the reuse flag, so that their TIME_WAIT does not keep a later sim from
// binding the address.
void CSimTcpServer::AcceptOne() {
    int nClient = accept4(m_nListenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (nClient < 0) return;
    SetReuseAddress(nClient, true);
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    CConnection& connection = m_connections.emplace_back();
    connection.nSocket = nClient;
    connection.thread = std::thread(&CSimTcpServer::Serve, this, &connection);
}

void CSimTcpServer::Serve(CConnection* pConnection) {
    CSimTcpChannel channel(m_core, pConnection->nSocket);
    ServeSimChannel(m_core, channel);
    shutdown(pConnection->nSocket, SHUT_RDWR);
    pConnection->bDone = true;
}

void CSimTcpServer::Reap(bool bAll) {
    std::list<CConnection> finished;
    {
        std::lock_guard<std::mutex> lock(m_connectionMutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            auto next = std::next(it);
            if (bAll || it->bDone) finished.splice(finished.end(), m_connections, it);
            it = next;
        }
    }
    for (CConnection& connection : finished) {
        connection.thread.join();
        close(connection.nSocket);
    }
}

void CSimTcpServer::ShutdownConnections() {
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    for (CConnection& connection : m_connections) shutdown(connection.nSocket, SHUT_RDWR);
}
