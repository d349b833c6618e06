// A stand-in for the tunnel service: listens at the address of a run directory (the socket
// TNL_PIPE6 in it, or on Windows a pipe named after it; fake_service_listener.h), answers the
// library's requests from a CTunnelStore, records every request text, and can be told to
// misbehave. Used by the tests in-process and by `tnl_service run FAULT`.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tnl/service/fake_service_listener.h"
#include "tnl/service/tunnel_store.h"

namespace tnl_fake {

enum class EFault {
    kNone,
    kAnswerError,    // every request is answered with an "ERROR" reply; nothing changes
    kSplitReply,     // replies go out in small pieces, each its own write
    kStall,          // requests are held unanswered until the fault is changed or the service stops
    kCloseMidReply,  // half of the reply is written, then the connection is closed
    kCannedReply,    // every request gets the text given to SetCannedReply, byte for byte
};

// "error", "split", "stall", "close" or "none"; false for another word.
bool ParseFault(const std::string& word, EFault* fault);

class CFakeTunnelService {
  public:
    explicit CFakeTunnelService(std::string runDir);
    CFakeTunnelService(const CFakeTunnelService&) = delete;
    CFakeTunnelService& operator=(const CFakeTunnelService&) = delete;
    ~CFakeTunnelService();

    // Listens at SocketPath(runDir), replacing a stale socket file. False when it cannot.
    bool Start();
    // Closes every connection and stops listening; the address is gone afterwards.
    void Stop();

    // The listening address: the socket's path, or the pipe's on Windows.
    static std::string SocketPath(const std::string& runDir);

    void SetFault(EFault fault);
    // Answers every request with exactly these bytes (kCannedReply) until the fault changes.
    void SetCannedReply(std::string reply);
    std::vector<std::string> Requests() const;
    size_t RequestCount() const;
    // Waits until at least nCount requests have arrived; false after nTimeoutMs.
    bool WaitForRequests(size_t nCount, int nTimeoutMs) const;

    std::vector<std::string> Names() const;
    std::string Connection(const std::string& name) const;
    bool SetStatus(const std::string& name, const std::string& statusXml);

  private:
    void AcceptLoop();
    void ServeClient(std::unique_ptr<IServiceClient> client);
    // Takes the client's next request and records it; false when the client went away.
    bool ReadRequest(IServiceClient* client, std::string* request);
    // Writes the reply as the current fault says; false when the connection must end.
    bool WriteReply(IServiceClient* client, const std::string& reply, EFault fault);
    // Waits while requests are to be held; returns the fault to answer with.
    EFault WaitUntilAnswering();

    std::string m_strRunDir;
    std::unique_ptr<IServiceListener> m_pListener;
    std::thread m_acceptThread;
    std::vector<std::thread> m_clientThreads;
    std::vector<IServiceClient*> m_clients;  // the clients being served, owned by their threads

    mutable std::mutex m_mutex;  // guards everything below and the store
    mutable std::condition_variable m_changed;
    bool m_bStopping = false;
    EFault m_eFault = EFault::kNone;
    std::string m_strCannedReply;
    std::vector<std::string> m_requests;
    tnl_service::CTunnelStore m_store;
};

}  // namespace tnl_fake
