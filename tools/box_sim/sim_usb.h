// The box's USB side: a thread serving the report stream on the box end of a CSimUsbPair. The
// host writes 1025-byte reports (report number 0, then 1024 payload bytes); the box answers with
// 1024-byte reports without a report number, as hidraw delivers them, zero-padded.
#pragma once

#include <thread>

#include "tools/box_sim/sim_core.h"

class CSimUsbPort {
  public:
    explicit CSimUsbPort(CSimBoxCore& core) : m_core(core) {}
    CSimUsbPort(const CSimUsbPort&) = delete;
    CSimUsbPort& operator=(const CSimUsbPort&) = delete;
    ~CSimUsbPort() { Stop(); }

    // Serves the box end nFd until Stop (the core's stop flag must be set first), which leaves it
    // open. False where the sim has no USB side (Windows).
    bool Start(int nFd);
    void Stop();

  private:
    CSimBoxCore& m_core;
    std::thread m_thread;
};
