#include "tools/tnl_service/fake_tunnel_service.h"

#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace tnl_fake {

namespace {

constexpr const char* kPipeName = "TNL_PIPE6";
constexpr const char* kMessageEnd = "</proto>";
constexpr size_t kSplitPiece = 16;
constexpr auto kSplitPause = std::chrono::milliseconds(2);

bool MakeAddress(const std::string& path, sockaddr_un* address) {
    memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof(address->sun_path)) return false;
    memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool WriteAll(int nSocket, const char* pData, size_t nSize) {
    while (nSize > 0) {
        ssize_t nSent = send(nSocket, pData, nSize, MSG_NOSIGNAL);
        if (nSent < 0 && errno == EINTR) continue;
        if (nSent <= 0) return false;
        pData += nSent;
        nSize -= static_cast<size_t>(nSent);
    }
    return true;
}

// Moves one whole message (through "</proto>", and any white space that came with it, so that
// the request log shows what a client really sent) from the front of buffer to message.
bool TakeMessage(std::string* buffer, std::string* message) {
    size_t nEnd = buffer->find(kMessageEnd);
    if (nEnd == std::string::npos) return false;
    nEnd = buffer->find_first_not_of(" \t\r\n\v\f", nEnd + strlen(kMessageEnd));
    if (nEnd == std::string::npos) nEnd = buffer->size();
    *message = buffer->substr(0, nEnd);
    buffer->erase(0, nEnd);
    return true;
}

bool ReadSome(int nSocket, std::string* buffer) {
    char szChunk[4096];
    ssize_t nRead;
    do {
        nRead = recv(nSocket, szChunk, sizeof(szChunk), 0);
    } while (nRead < 0 && errno == EINTR);
    if (nRead <= 0) return false;
    buffer->append(szChunk, static_cast<size_t>(nRead));
    return true;
}

}  // namespace

bool ParseFault(const std::string& word, EFault* fault) {
    static const std::pair<const char*, EFault> kWords[] = {{"none", EFault::kNone},
                                                            {"error", EFault::kAnswerError},
                                                            {"split", EFault::kSplitReply},
                                                            {"stall", EFault::kStall},
                                                            {"close", EFault::kCloseMidReply}};
    for (const auto& [szWord, eFault] : kWords) {
        if (word == szWord) {
            *fault = eFault;
            return true;
        }
    }
    return false;
}

CFakeTunnelService::CFakeTunnelService(std::string runDir) : m_strRunDir(std::move(runDir)) {}

CFakeTunnelService::~CFakeTunnelService() {
    Stop();
}

std::string CFakeTunnelService::SocketPath(const std::string& runDir) {
    return runDir + "/" + kPipeName;
}

bool CFakeTunnelService::Start() {
    sockaddr_un address;
    std::string strPath = SocketPath(m_strRunDir);
    if (!MakeAddress(strPath, &address)) return false;
    int nSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return false;
    unlink(strPath.c_str());
    if (bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(nSocket, 8) != 0) {
        close(nSocket);
        return false;
    }
    m_nListenSocket = nSocket;
    m_bStopping = false;
    m_acceptThread = std::thread(&CFakeTunnelService::AcceptLoop, this);
    return true;
}

void CFakeTunnelService::Stop() {
    if (m_nListenSocket < 0) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        for (int nSocket : m_clientSockets) shutdown(nSocket, SHUT_RDWR);
    }
    m_changed.notify_all();
    shutdown(m_nListenSocket, SHUT_RDWR);
    m_acceptThread.join();
    for (std::thread& thread : m_clientThreads) thread.join();
    m_clientThreads.clear();
    close(m_nListenSocket);
    m_nListenSocket = -1;
    unlink(SocketPath(m_strRunDir).c_str());
}

void CFakeTunnelService::AcceptLoop() {
    for (;;) {
        int nClient = accept4(m_nListenSocket, nullptr, nullptr, SOCK_CLOEXEC);
        if (nClient < 0 && errno == EINTR) continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (nClient < 0 || m_bStopping) {
            if (nClient >= 0) close(nClient);
            return;
        }
        m_clientSockets.push_back(nClient);
        m_clientThreads.emplace_back(&CFakeTunnelService::ServeClient, this, nClient);
    }
}

bool CFakeTunnelService::ReadRequest(int nSocket, std::string* buffer, std::string* request) {
    while (!TakeMessage(buffer, request)) {
        if (!ReadSome(nSocket, buffer)) return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(*request);
    m_changed.notify_all();
    return true;
}

EFault CFakeTunnelService::WaitUntilAnswering() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_bStopping || m_eFault != EFault::kStall; });
    return m_bStopping ? EFault::kCloseMidReply : m_eFault;
}

bool CFakeTunnelService::WriteReply(int nSocket, const std::string& reply, EFault fault) {
    if (fault == EFault::kCloseMidReply) {
        WriteAll(nSocket, reply.data(), reply.size() / 2);
        return false;
    }
    if (fault != EFault::kSplitReply) return WriteAll(nSocket, reply.data(), reply.size());
    for (size_t nOffset = 0; nOffset < reply.size(); nOffset += kSplitPiece) {
        if (nOffset > 0) std::this_thread::sleep_for(kSplitPause);
        if (!WriteAll(nSocket, reply.data() + nOffset,
                      std::min(kSplitPiece, reply.size() - nOffset))) {
            return false;
        }
    }
    return true;
}

void CFakeTunnelService::ServeClient(int nSocket) {
    std::string strBuffer, strRequest;
    while (ReadRequest(nSocket, &strBuffer, &strRequest)) {
        EFault eFault = WaitUntilAnswering();
        std::string strReply;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (eFault == EFault::kCannedReply) {
                strReply = m_strCannedReply;
            } else if (eFault == EFault::kAnswerError) {
                strReply = CTunnelStore::ErrorReply("refused");
            } else {
                strReply = m_store.Handle(strRequest);
            }
        }
        if (!WriteReply(nSocket, strReply, eFault)) break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clientSockets.erase(std::find(m_clientSockets.begin(), m_clientSockets.end(), nSocket));
    close(nSocket);
}

void CFakeTunnelService::SetFault(EFault fault) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_eFault = fault;
    }
    m_changed.notify_all();
}

void CFakeTunnelService::SetCannedReply(std::string reply) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strCannedReply = std::move(reply);
        m_eFault = EFault::kCannedReply;
    }
    m_changed.notify_all();
}

std::vector<std::string> CFakeTunnelService::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

size_t CFakeTunnelService::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

bool CFakeTunnelService::WaitForRequests(size_t nCount, int nTimeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                              [&] { return m_requests.size() >= nCount; });
}

std::vector<std::string> CFakeTunnelService::Names() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_store.Names();
}

std::string CFakeTunnelService::Connection(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_store.Connection(name);
}

bool CFakeTunnelService::SetStatus(const std::string& name, const std::string& statusXml) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_store.SetStatus(name, statusXml);
}

bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply) {
    sockaddr_un address;
    if (!MakeAddress(CFakeTunnelService::SocketPath(runDir), &address)) return false;
    int nSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return false;
    std::string strBuffer;
    bool bOk = connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
               WriteAll(nSocket, request.data(), request.size());
    while (bOk && !TakeMessage(&strBuffer, reply)) bOk = ReadSome(nSocket, &strBuffer);
    close(nSocket);
    return bOk;
}

}  // namespace tnl_fake
