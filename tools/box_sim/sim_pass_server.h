// The remote end of a pass-through, as the cloud side that reaches the box would be: a TCP
// server on a loopback address. A connection may open with the subdomain handshake
// ({"Subdomain":"..."}), which is answered with the accepted state; every other byte is echoed.
// Connections are served one after another.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class CSimPassServer {
public:
    CSimPassServer() = default;
    CSimPassServer(const CSimPassServer&) = delete;
    CSimPassServer& operator=(const CSimPassServer&) = delete;
    ~CSimPassServer();

    // Listens on the address (127.0.0.0/8 only) and port (0: any free one). False when it
    // cannot.
    bool Start(const std::string& strAddress, int nPort);
    void Stop();
    int Port() const { return m_nPort; }
    int HandshakesSeen() const { return m_nHandshakes.load(); }
    std::string LastSubdomain() const;

private:
    void Serve();
    void ServeConnection(int nSocket);
    // Takes a leading handshake off the bytes; false while it may still be incomplete.
    bool TakeHandshake(std::string* pBytes, int nSocket);

    int m_nListen = -1;
    int m_nPort = 0;
    std::atomic<int> m_nHandshakes{0};
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    std::string m_strLastSubdomain;
    std::thread m_thread;
};
