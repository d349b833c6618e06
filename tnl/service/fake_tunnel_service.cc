#include "tnl/service/fake_tunnel_service.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace tnl_fake {

namespace {

using tnl_service::ReadSome;
using tnl_service::TakeMessage;
using tnl_service::WriteAll;

constexpr size_t kSplitPiece = 16;
constexpr auto kSplitPause = std::chrono::milliseconds(2);

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
    return tnl_service::SocketPath(runDir);
}

bool CFakeTunnelService::Start() {
    int nSocket = tnl_service::ListenLocalSocket(SocketPath(m_strRunDir));
    if (nSocket < 0) return false;
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
                strReply = tnl_service::CTunnelStore::ErrorReply("refused");
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

}  // namespace tnl_fake
