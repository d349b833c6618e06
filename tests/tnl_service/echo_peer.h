// Loopback peers for a carried port, each sending back what it receives: a TCP server (for
// CLIENT connections), a TCP client that keeps connecting to a port until it gets through (for
// SERVER connections), and a UDP socket that answers every datagram to its sender (for UDP).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace tnl_service_test {

enum class EPeerKind { kTcpServer, kTcpClient, kUdp };

class CEchoPeer {
  public:
    // A client connects to nTargetPort on 127.0.0.1; the others take a port of their own.
    explicit CEchoPeer(EPeerKind eKind, uint16_t nTargetPort = 0);
    CEchoPeer(const CEchoPeer&) = delete;
    CEchoPeer& operator=(const CEchoPeer&) = delete;
    ~CEchoPeer();

    uint16_t Port() const { return m_nPort; }
    // TCP connections accepted or made so far.
    int Connections() const { return m_nConnections.load(); }
    // Closes the current TCP connections; a server goes on accepting, a client connects again.
    void DropConnections();

  private:
    void Serve();
    void Wake();
    void OnReady(int nFd);

    EPeerKind m_eKind;
    uint16_t m_nPort = 0;
    uint16_t m_nTargetPort = 0;
    int m_nSocket = -1;  // the listening or datagram socket
    int m_nWake = -1;
    std::vector<int> m_connections;
    std::atomic<int> m_nConnections{0};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDrop{false};
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on right now.
uint16_t FreeLoopbackPort();

}  // namespace tnl_service_test
