// The box's command port: one accept thread and one thread per connection. While the box
// restarts, open connections are ended and new ones refused (on Windows, where a listener cannot
// stop listening, they are closed as soon as they are accepted); the address stays reserved.
#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "platform/net_socket.h"
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
        platform::SocketHandle s = platform::kInvalidSocket;
        std::thread thread;
        std::atomic<bool> bDone{false};
    };

    void CloseListener();
    void FollowRestart();
    void AcceptLoop();
    // Serves a connection the listener gave; one that comes in the restart window is closed.
    void TakeConnection(platform::SocketHandle s);
    void Serve(CConnection* pConnection);
    // Joins and closes connections whose thread has ended (all of them when bAll).
    void Reap(bool bAll);
    void ShutdownConnections();

    CSimBoxCore& m_core;
    platform::SocketHandle m_listen = platform::kInvalidSocket;
    bool m_bPaused = false;  // the listener was stopped for a restart
    std::thread m_acceptThread;
    std::mutex m_connectionMutex;  // guards m_connections
    std::list<CConnection> m_connections;
};
