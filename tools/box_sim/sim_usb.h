// The box's USB side: a thread serving the report stream on one end of a SOCK_SEQPACKET socket
// pair. The host writes 1025-byte reports (report number 0, then 1024 payload bytes); the box
// answers with 1024-byte reports without a report number, as hidraw delivers them, zero-padded.
#pragma once

#include <thread>

#include "tools/box_sim/sim_core.h"

class CSimUsbPort {
  public:
    explicit CSimUsbPort(CSimBoxCore& core) : m_core(core) {}
    CSimUsbPort(const CSimUsbPort&) = delete;
    CSimUsbPort& operator=(const CSimUsbPort&) = delete;
    ~CSimUsbPort() { Stop(); }

    // Takes nFd over and serves it until Stop (the core's stop flag must be set first).
    void Start(int nFd);
    void Stop();

  private:
    CSimBoxCore& m_core;
    int m_nFd = -1;
    std::thread m_thread;
};
