#include "tools/box_sim/sim_tcp_server.h"

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
    CSimTcpChannel(CSimBoxCore& core, platform::SocketHandle s) : m_core(core), m_socket(s) {}

    bool ReadCommand(std::string* line) override;
    bool ReadData(size_t n, std::string* data, unsigned nIdleMs) override;
    bool SendMessage(const std::string& message) override {
        return m_bOpen && SendSimBytes(m_core, m_socket, message.data(), message.size());
    }
    void Disconnect() override {
        m_bOpen = false;
        platform::ShutdownSocket(m_socket);
    }
    bool IsOpen() const override { return m_bOpen; }

  private:
    // Appends what arrives within nIdleMs (0: no limit) to the buffer; false when the link ended,
    // the box restarts or the sim stops (m_bOpen turns false), or nothing came in time.
    bool Fill(unsigned nIdleMs, size_t nWant = kReadSize);
    // The "\n" of a "\r\n" that arrived after its "\r" belongs to the previous command.
    void DropLateLineFeed();

    CSimBoxCore& m_core;
    platform::SocketHandle m_socket;
    bool m_bOpen = true;
    bool m_bAfterBareCr = false;
    std::string m_strBuffer;
    std::vector<char> m_chunk = std::vector<char>(kReadSize);
};

bool CSimTcpChannel::Fill(unsigned nIdleMs, size_t nWant) {
    for (unsigned nWaited = 0; m_bOpen; nWaited += kSimPollMs) {
        if (m_core.bStopping || m_core.IsRestarting()) break;
        if (nIdleMs != 0 && nWaited >= nIdleMs) return false;
        const int nReady = platform::WaitReadable(m_socket, kSimPollMs);
        if (nReady == 0) continue;
        // Large reads keep up with a file transfer; a command arrives in one read anyway.
        const long nRead =
            nReady < 0 ? -1
                       : platform::SocketReceive(m_socket, m_chunk.data(),
                                                 std::min(nWant, m_chunk.size()));
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
    m_listen = platform::ListenTcp(m_core.config.strAddress, m_core.config.nTcpPort, kBacklog);
    if (m_listen == platform::kInvalidSocket) return false;
    // The socket stays bound through restarts; without the reuse flag no other sim can take the
    // address while this one does not listen.
    platform::SetSocketAddressReuse(m_listen, false);
    m_acceptThread = std::thread(&CSimTcpServer::AcceptLoop, this);
    return true;
}

void CSimTcpServer::Stop() {
    if (m_acceptThread.joinable()) m_acceptThread.join();
    CloseListener();
}

void CSimTcpServer::CloseListener() {
    platform::CloseSocket(m_listen);
    m_listen = platform::kInvalidSocket;
}

// For the restart window the listener stops listening and every connection ends; afterwards the
// same socket listens again.
void CSimTcpServer::FollowRestart() {
    const bool bRestarting = m_core.IsRestarting();
    if (bRestarting && !m_bPaused) {
        platform::StopListening(m_listen);
        m_bPaused = true;
        ShutdownConnections();
    } else if (!bRestarting && m_bPaused) {
        // Listening again checks the port against this socket's own (closing) connections.
        platform::SetSocketAddressReuse(m_listen, true);
        m_bPaused = !platform::ListenAgain(m_listen, kBacklog);
        platform::SetSocketAddressReuse(m_listen, false);
    }
}

void CSimTcpServer::AcceptLoop() {
    while (!m_core.bStopping) {
        Reap(false);
        FollowRestart();
        const int nReady = platform::WaitReadable(m_listen, kSimPollMs);
        if (nReady == 0) continue;
        const platform::SocketHandle s =
            nReady > 0 ? platform::AcceptConnection(m_listen) : platform::kInvalidSocket;
        if (s != platform::kInvalidSocket) {
            TakeConnection(s);
        } else {
            m_core.SleepFor(kSimPollMs);  // a stopped listener reports itself readable
        }
    }
    ShutdownConnections();
    Reap(true);
}

// Connections carry the reuse flag, so that their TIME_WAIT does not keep a later sim from
// binding the address.
void CSimTcpServer::TakeConnection(platform::SocketHandle s) {
    if (m_bPaused) {
        platform::CloseSocket(s);
        return;
    }
    platform::SetSocketAddressReuse(s, true);
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    CConnection& connection = m_connections.emplace_back();
    connection.s = s;
    connection.thread = std::thread(&CSimTcpServer::Serve, this, &connection);
}

void CSimTcpServer::Serve(CConnection* pConnection) {
    CSimTcpChannel channel(m_core, pConnection->s);
    ServeSimChannel(m_core, channel);
    platform::ShutdownSocket(pConnection->s);
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
        platform::CloseSocket(connection.s);
    }
}

void CSimTcpServer::ShutdownConnections() {
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    for (CConnection& connection : m_connections) platform::ShutdownSocket(connection.s);
}
