#include "tnl/service/fake_tunnel_service.h"

#include <algorithm>
#include <chrono>

namespace tnl_fake {

namespace {

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
    return ServiceAddress(runDir);
}

bool CFakeTunnelService::Start() {
    m_pListener = ListenForClients(m_strRunDir);
    if (m_pListener == nullptr) return false;
    m_bStopping = false;
    m_acceptThread = std::thread(&CFakeTunnelService::AcceptLoop, this);
    return true;
}

void CFakeTunnelService::Stop() {
    if (m_pListener == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        for (IServiceClient* client : m_clients) client->Interrupt();
    }
    m_changed.notify_all();
    m_pListener->Interrupt();
    m_acceptThread.join();
    for (std::thread& thread : m_clientThreads) thread.join();
    m_clientThreads.clear();
    m_pListener.reset();
}

void CFakeTunnelService::AcceptLoop() {
    for (;;) {
        std::unique_ptr<IServiceClient> client = m_pListener->Accept();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (client == nullptr || m_bStopping) return;
        m_clients.push_back(client.get());
        m_clientThreads.emplace_back(&CFakeTunnelService::ServeClient, this, std::move(client));
    }
}

bool CFakeTunnelService::ReadRequest(IServiceClient* client, std::string* request) {
    if (!client->ReceiveRequest(request)) return false;
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

bool CFakeTunnelService::WriteReply(IServiceClient* client, const std::string& reply,
                                    EFault fault) {
    std::string_view bytes = reply;
    if (fault == EFault::kCloseMidReply) {
        client->Send(bytes.substr(0, bytes.size() / 2));
        return false;
    }
    if (fault != EFault::kSplitReply) return client->Send(bytes);
    for (size_t nOffset = 0; nOffset < bytes.size(); nOffset += kSplitPiece) {
        if (nOffset > 0) std::this_thread::sleep_for(kSplitPause);
        if (!client->Send(bytes.substr(nOffset, kSplitPiece))) return false;
    }
    return true;
}

void CFakeTunnelService::ServeClient(std::unique_ptr<IServiceClient> client) {
    std::string strRequest;
    while (ReadRequest(client.get(), &strRequest)) {
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
        if (!WriteReply(client.get(), strReply, eFault)) break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    // Out of Stop's reach before its link closes, as the client goes.
    m_clients.erase(std::find(m_clients.begin(), m_clients.end(), client.get()));
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
