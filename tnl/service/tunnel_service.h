// The tunnel service: answers the tunnel library on the socket TNL_PIPE6 of the run folder,
// keeps its connections in the run folder across restarts, and carries every connection with a
// virtual port (CPortTunnel). Everything runs in one poll loop on the thread that calls Run.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tnl/service/port_links.h"
#include "tnl/service/port_tunnel.h"
#include "tnl/service/tunnel_store.h"

namespace tnl_service {

// The files of the run folder.
inline constexpr const char* kConnectionsFile = "connections.xml";
inline constexpr const char* kLinksFile = "links";

class CTunnelService {
  public:
    CTunnelService(std::string runDir, std::string portsDir);
    CTunnelService(const CTunnelService&) = delete;
    CTunnelService& operator=(const CTunnelService&) = delete;
    ~CTunnelService();

    // Removes the links an earlier run left, brings back the stored connections and listens on
    // the socket. False when it cannot listen.
    bool Start();
    // Serves until Stop; then lets every port go, removes their links and the socket.
    void Run();
    // Ends Run; may be called from any thread.
    void Stop();

  private:
    struct CControlClient {
        int nFd = -1;
        std::string strIn;
        std::string strOut;
        bool bClosed = false;
    };

    std::string RunFile(const char* szName) const;
    std::string Handle(const std::string& request, uint64_t nNowMs);
    // Brings the running tunnels in line with the stored connections; the connection named
    // forced starts over even when it did not change.
    void Reconcile(const std::string& forced, uint64_t nNowMs);
    void Persist() const;
    void OnControlReady(CControlClient& client, short nEvents, uint64_t nNowMs);
    void AcceptControl();
    int PollTimeout(uint64_t nNowMs) const;
    void Shutdown();

    struct CRunning {
        std::string strConfig;  // the connection text it was started with
        std::unique_ptr<CPortTunnel> pTunnel;
    };

    std::string m_strRunDir;
    CPortLinks m_links;
    CTunnelStore m_store;
    std::map<std::string, CRunning> m_tunnels;  // by connection name
    std::vector<CControlClient> m_clients;
    int m_nListen = -1;
    int m_nWake = -1;  // an event counter that Stop raises
};

// The service of the run folder and ports folder the environment names, until SIGINT or
// SIGTERM. The exit status: 0 after a stop, 1 when it could not start.
int RunTunnelService();

}  // namespace tnl_service
