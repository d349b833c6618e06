// Answers discovery datagrams: listens on the discovery address (on loopback a.b.c.255 is an
// ordinary address, so a datagram sent there stands for a broadcast) and answers each
// "GetHostName\r" from a second socket bound to the box's own address, so that the answer comes
// from the box's address to the sender's address and port.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "platform/net_socket.h"
#include "tools/box_sim/sim_core.h"

class CSimDiscovery {
  public:
    explicit CSimDiscovery(CSimBoxCore& core) : m_core(core) {}
    CSimDiscovery(const CSimDiscovery&) = delete;
    CSimDiscovery& operator=(const CSimDiscovery&) = delete;
    ~CSimDiscovery() { Stop(); }

    // Binds both sockets and starts the thread; false when a bind fails.
    bool Start();
    // Ends the thread (the core's stop flag must be set first) and closes the sockets.
    void Stop();

  private:
    void Run();
    void Answer(const std::string& datagram, const std::string& strSender, uint16_t nSenderPort);

    CSimBoxCore& m_core;
    platform::SocketHandle m_listen = platform::kInvalidSocket;
    platform::SocketHandle m_answer = platform::kInvalidSocket;
    std::thread m_thread;
};
