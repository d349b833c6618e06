// A remote pass-through server on 127.0.0.1: answers the subdomain handshake when told to, then
// echoes every byte; plus the client side helpers the tests share.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net_socket.h"
#include "platform/thread_util.h"

class CFakeRemote {
public:
    // strAnswer: the handshake reply every connection must be opened with; empty for no
    // handshake; "close" to close the connection instead of answering.
    explicit CFakeRemote(std::string strAnswer = "");
    ~CFakeRemote();
    uint16_t Port() const { return m_nPort; }
    std::vector<std::string> Handshakes() const;
    int Accepted() const;
    int Closed() const;

private:
    void AcceptLoop();
    void Serve(platform::SocketHandle s);

    std::string m_strAnswer;
    platform::SocketHandle m_listen;
    uint16_t m_nPort;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::vector<platform::SocketHandle> m_sockets;
    std::vector<std::string> m_handshakes;
    int m_nClosed = 0;
    std::thread m_acceptThread;  // last: it starts once everything above is there
};

uint16_t FreeLoopbackPort();
// Sends the bytes from a second thread while reading as many back (or nExpected, when
// given); what came back.
std::string RoundTrip(platform::SocketHandle s, const std::string& strData, size_t nExpected = 0);
// What arrives until the peer closes; false when it stays open through 20 s of silence.
bool ReceiveUntilClosed(platform::SocketHandle s, std::string* pReceived);
std::string RandomBytes(size_t nSize);

template <typename Predicate>
bool WaitUntil(Predicate predicate) {
    for (int i = 0; i < 2000 && !predicate(); ++i) platform::SleepMs(10);
    return predicate();
}
