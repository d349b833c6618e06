#include "tests/pass_through/fake_remote.h"

#include <random>

namespace {

constexpr unsigned kSilenceMs = 20000;

bool SendAll(platform::SocketHandle s, const std::string& strData) {
    for (size_t nSent = 0; nSent < strData.size();) {
        const long n = platform::SocketSend(s, strData.data() + nSent, strData.size() - nSent);
        if (n <= 0) return false;
        nSent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CFakeRemote::CFakeRemote(std::string strAnswer)
    : m_strAnswer(std::move(strAnswer)),
      m_listen(platform::ListenTcp("127.0.0.1", 0, 5)),
      m_nPort(platform::SocketLocalPort(m_listen)),
      m_acceptThread(&CFakeRemote::AcceptLoop, this) {}

CFakeRemote::~CFakeRemote() {
    platform::ShutdownSocket(m_listen);
    m_acceptThread.join();
    platform::CloseSocket(m_listen);
    for (platform::SocketHandle s : m_sockets) platform::ShutdownSocket(s);
    for (std::thread& thread : m_threads) thread.join();
    for (platform::SocketHandle s : m_sockets) platform::CloseSocket(s);
}

std::vector<std::string> CFakeRemote::Handshakes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handshakes;
}

int CFakeRemote::Accepted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_sockets.size());
}

int CFakeRemote::Closed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nClosed;
}

void CFakeRemote::AcceptLoop() {
    platform::SocketHandle s;
    while ((s = platform::AcceptConnection(m_listen)) != platform::kInvalidSocket) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sockets.push_back(s);
        m_threads.emplace_back(&CFakeRemote::Serve, this, s);
    }
}

void CFakeRemote::Serve(platform::SocketHandle s) {
    bool bEcho = m_strAnswer.empty();
    if (!bEcho) {
        std::string strRequest;
        char c;
        while ((strRequest.empty() || strRequest.back() != '}') &&
               platform::SocketReceive(s, &c, 1) == 1) {
            strRequest += c;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handshakes.push_back(strRequest);
        bEcho = m_strAnswer != "close" && SendAll(s, m_strAnswer);
    }
    char buffer[16384];
    long n = 0;
    while (bEcho && (n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0 &&
           SendAll(s, std::string(buffer, static_cast<size_t>(n)))) {
    }
    platform::ShutdownSocket(s);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nClosed;
}

uint16_t FreeLoopbackPort() {
    const platform::SocketHandle s = platform::ListenTcp("127.0.0.1", 0, 1);
    const uint16_t nPort = platform::SocketLocalPort(s);
    platform::CloseSocket(s);
    return nPort;
}

std::string RoundTrip(platform::SocketHandle s, const std::string& strData, size_t nExpected) {
    if (nExpected == 0) nExpected = strData.size();
    platform::SetSocketTimeouts(s, kSilenceMs, kSilenceMs);
    std::thread sender([&] { SendAll(s, strData); });
    std::string strReceived;
    char buffer[16384];
    long n = 1;
    while (strReceived.size() < nExpected &&
           (n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0) {
        strReceived.append(buffer, static_cast<size_t>(n));
    }
    sender.join();
    return strReceived;
}

bool ReceiveUntilClosed(platform::SocketHandle s, std::string* pReceived) {
    platform::SetSocketTimeouts(s, kSilenceMs, kSilenceMs);
    char buffer[4096];
    long n;
    while ((n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0) {
        pReceived->append(buffer, static_cast<size_t>(n));
    }
    return n == 0;
}

std::string RandomBytes(size_t nSize) {
    std::mt19937 generator(7);
    std::string strData(nSize, '\0');
    for (char& c : strData) c = static_cast<char>(generator());
    return strData;
}
