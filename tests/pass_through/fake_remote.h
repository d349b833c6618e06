// A remote pass-through server on 127.0.0.1: takes any number of connections, answers the
// subdomain handshake when told to, then echoes every byte back. Keeps a log of what happened,
// in order, for the tests to compare.
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
    // strAnswer: the reply to the handshake, which every connection then must open with; empty
    // for no handshake; "close" to close the connection instead of answering.
    explicit CFakeRemote(std::string strAnswer = "");
    ~CFakeRemote();
    uint16_t Port() const { return m_nPort; }
    // "accept 1", "handshake 1 {...}", "close 1", ...
    std::vector<std::string> Log() const;
    size_t Accepted() const;

private:
    void AcceptLoop();
    void Serve(platform::SocketHandle s, int nNumber);
    // Reads the handshake request (up to its closing brace) and answers it.
    bool AnswerHandshake(platform::SocketHandle s, int nNumber);
    void Note(const std::string& strEvent);

    std::string m_strAnswer;
    platform::SocketHandle m_listen = platform::kInvalidSocket;
    uint16_t m_nPort = 0;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::vector<platform::SocketHandle> m_sockets;
    std::vector<std::string> m_log;
    size_t m_nAccepted = 0;
};

// A loopback port that nothing listens on right now.
uint16_t FreeLoopbackPort();

// Sends all bytes from a second thread while receiving as many back; what came back (shorter
// when the other side closed or nothing came for 20 s).
std::string RoundTrip(platform::SocketHandle s, const std::string& strData);
// What arrives until the other side closes; false when it did not close within 20 s of silence.
bool ReceiveUntilClosed(platform::SocketHandle s, std::string* pReceived);
std::string RandomBytes(size_t nSize);

// Polls the condition every 10 ms for up to 20 s.
template <typename Predicate>
bool WaitUntil(Predicate predicate) {
    for (int i = 0; i < 2000 && !predicate(); ++i) platform::SleepMs(10);
    return predicate();
}
