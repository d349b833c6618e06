// A remote pass-through server on 127.0.0.1: each connection first sends the subdomain
// handshake, which must name the expected subdomain and is answered with the accepted state;
// after that every byte is echoed. Connections are served one after another.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class CEchoServer {
public:
    explicit CEchoServer(std::string strSubdomain);
    ~CEchoServer();
    int Port() const { return m_nPort; }
    int HandshakesSeen() const { return m_nHandshakes.load(); }

private:
    void Serve();
    void ServeConnection(int nSocket);

    std::string m_strHandshake;
    int m_nListen = -1;
    int m_nPort = 0;
    std::atomic<int> m_nHandshakes{0};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();
// Kills the tunnel service's processes of the run folder at once (SIGKILL), as a crash would.
void KillServiceHard(const std::string& strRunDir);
