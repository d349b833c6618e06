// The remote end of a pass-through, as the cloud side that reaches the box would be: a TCP
// server on a loopback address. A connection that opens with the subdomain handshake
// ({"Subdomain":"..."}) gets the answer (the accepted state unless told otherwise); after that,
// or from the start when there is no handshake, every byte is echoed. Each connection is served
// on a thread of its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net_socket.h"

class CSimPassServer {
public:
    // The accepted state.
    static constexpr const char* kAccepted = "{\"State\":\"200\"}";
    // An answer that closes the connection instead of answering.
    static constexpr const char* kCloseInstead = "close";

    explicit CSimPassServer(std::string strAnswer = kAccepted) : m_strAnswer(std::move(strAnswer)) {}
    CSimPassServer(const CSimPassServer&) = delete;
    CSimPassServer& operator=(const CSimPassServer&) = delete;
    ~CSimPassServer();

    // Listens on the address (127.0.0.0/8 only) and port (0: any free one). False when it
    // cannot.
    bool Start(const std::string& strAddress, uint16_t nPort);
    void Stop();
    uint16_t Port() const { return m_nPort; }
    // The handshake requests received, in order.
    std::vector<std::string> Handshakes() const;
    int Accepted() const;
    int Closed() const;

private:
    void AcceptLoop();
    void Serve(platform::SocketHandle s);
    // Reads a leading handshake, if there is one, and answers it; the bytes after it go to
    // *pRest. False when the connection is to end.
    bool TakeHandshake(platform::SocketHandle s, std::string* pRest);

    std::string m_strAnswer;
    platform::SocketHandle m_listen = platform::kInvalidSocket;
    uint16_t m_nPort = 0;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::vector<platform::SocketHandle> m_sockets;
    std::vector<std::string> m_handshakes;
    int m_nClosed = 0;
    std::thread m_acceptThread;
};
