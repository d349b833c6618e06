// A stand-in for the tunnel service: listens on the Unix-domain socket TNL_PIPE6 in a run
// directory, answers the library's requests from a CTunnelStore, records every request text, and
// can be told to misbehave. Used by the tests in-process and by `tnl_service run FAULT`.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tnl/service/service_socket.h"
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

    // Listens on SocketPath(runDir), replacing a stale socket file. False when it cannot.
    bool Start();
    // Closes every connection, stops listening and removes the socket file.
    void Stop();

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
    void ServeClient(int nSocket);
    // Takes one request from the client's bytes; false when the client went away.
    bool ReadRequest(int nSocket, std::string* buffer, std::string* request);
    // Writes the reply as the current fault says; false when the connection must end.
    bool WriteReply(int nSocket, const std::string& reply, EFault fault);
    // Waits while requests are to be held; returns the fault to answer with.
    EFault WaitUntilAnswering();

    std::string m_strRunDir;
    int m_nListenSocket = -1;
    std::thread m_acceptThread;
    std::vector<std::thread> m_clientThreads;
    std::vector<int> m_clientSockets;

    mutable std::mutex m_mutex;  // guards everything below and the store
    mutable std::condition_variable m_changed;
    bool m_bStopping = false;
    EFault m_eFault = EFault::kNone;
    std::string m_strCannedReply;
    std::vector<std::string> m_requests;
    tnl_service::CTunnelStore m_store;
};

using tnl_service::SendServiceRequest;

}  // namespace tnl_fake
