// The box's command port: one accept thread and one thread per connection. While the box
// restarts, connections are refused and open ones are ended; the address stays reserved.
#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "tools/box_sim/sim_core.h"

class CSimTcpServer {
  public:
    explicit CSimTcpServer(CSimBoxCore& core) : m_core(core) {}
    CSimTcpServer(const CSimTcpServer&) = delete;
    CSimTcpServer& operator=(const CSimTcpServer&) = delete;
    ~CSimTcpServer() { Stop(); }

    // Binds and listens on the configured address and port; false when that fails.
    bool Start();
    // Ends the accept thread and every connection (the core's stop flag must be set).
    void Stop();

  private:
    struct CConnection {
        int nSocket = -1;
        std::thread thread;
        std::atomic<bool> bDone{false};
    };

    void CloseListener();
    void FollowRestart();
    void AcceptLoop();
    void AcceptOne();
    void Serve(CConnection* pConnection);
    // Joins and closes connections whose thread has ended (all of them when bAll).
    void Reap(bool bAll);
    void ShutdownConnections();

    CSimBoxCore& m_core;
    int m_nListenSocket = -1;
    bool m_bListening = false;
    std::thread m_acceptThread;
    std::mutex m_connectionMutex;  // guards m_connections
    std::list<CConnection> m_connections;
};
