#include "tests/pass_through/fake_remote.h"

#include <random>

namespace {

constexpr unsigned kSilenceMs = 20000;

bool SendAll(platform::SocketHandle s, const char* p, size_t nLength) {
    while (nLength > 0) {
        const long n = platform::SocketSend(s, p, nLength);
        if (n <= 0) return false;
        p += n;
        nLength -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CFakeRemote::CFakeRemote(std::string strAnswer) : m_strAnswer(std::move(strAnswer)) {
    m_listen = platform::ListenTcp("127.0.0.1", 0, 5);
    m_nPort = platform::SocketLocalPort(m_listen);
    m_acceptThread = std::thread(&CFakeRemote::AcceptLoop, this);
}

CFakeRemote::~CFakeRemote() {
    platform::ShutdownSocket(m_listen);
    m_acceptThread.join();
    platform::CloseSocket(m_listen);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (platform::SocketHandle s : m_sockets) platform::ShutdownSocket(s);
    }
    for (std::thread& thread : m_threads) thread.join();
}

std::vector<std::string> CFakeRemote::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

size_t CFakeRemote::Accepted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nAccepted;
}

void CFakeRemote::AcceptLoop() {
    for (;;) {
        const platform::SocketHandle s = platform::AcceptConnection(m_listen);
        if (s == platform::kInvalidSocket) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        const int nNumber = static_cast<int>(++m_nAccepted);
        m_log.push_back("accept " + std::to_string(nNumber));
        m_sockets.push_back(s);
        m_threads.emplace_back(&CFakeRemote::Serve, this, s, nNumber);
    }
}

void CFakeRemote::Serve(platform::SocketHandle s, int nNumber) {
    if (m_strAnswer.empty() || AnswerHandshake(s, nNumber)) {
        char buffer[16384];
        long n;
        while ((n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0 &&
               SendAll(s, buffer, static_cast<size_t>(n))) {
        }
    }
    Note("close " + std::to_string(nNumber));
    platform::ShutdownSocket(s);
}

bool CFakeRemote::AnswerHandshake(platform::SocketHandle s, int nNumber) {
    std::string strRequest;
    char c;
    while (strRequest.empty() || strRequest.back() != '}') {
        if (platform::SocketReceive(s, &c, 1) != 1) return false;
        strRequest += c;
    }
    Note("handshake " + std::to_string(nNumber) + " " + strRequest);
    return m_strAnswer != "close" && SendAll(s, m_strAnswer.data(), m_strAnswer.size());
}

void CFakeRemote::Note(const std::string& strEvent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.push_back(strEvent);
}

uint16_t FreeLoopbackPort() {
    const platform::SocketHandle s = platform::ListenTcp("127.0.0.1", 0, 1);
    const uint16_t nPort = platform::SocketLocalPort(s);
    platform::CloseSocket(s);
    return nPort;
}

std::string RoundTrip(platform::SocketHandle s, const std::string& strData) {
    platform::SetSocketTimeouts(s, kSilenceMs, kSilenceMs);
    std::thread sender([&] { SendAll(s, strData.data(), strData.size()); });
    std::string strReceived;
    char buffer[16384];
    long n = 1;
    while (strReceived.size() < strData.size() && n > 0) {
        n = platform::SocketReceive(s, buffer, sizeof(buffer));
        if (n > 0) strReceived.append(buffer, static_cast<size_t>(n));
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
