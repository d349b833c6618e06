// What the sim's servers share: the configuration, the box state, the record of what came in,
// the scripted replies and faults, the restart window and the stop flag, all under one mutex.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tools/box_sim/box_sim.h"

struct CSimScript {
    bool bHasReply = false;
    std::vector<std::string> chunks;
    unsigned nGapMs = 0;
    SimFault eFault = SimFault::kNone;
    unsigned nFaultParam = 0;
};

class CSimBoxCore {
  public:
    CSimBoxConfig config;
    mutable std::mutex mutex;  // guards everything below except bStopping
    mutable std::condition_variable changed;
    CSimBoxState state;
    std::atomic<bool> bStopping{false};

    // Records bytes the box took in (TCP, USB) under the mutex.
    void RecordBytes(const char* pBytes, size_t nLength);
    void RecordBytes(const std::string& bytes) { RecordBytes(bytes.data(), bytes.size()); }
    void RecordCommand(const std::string& line);
    void RecordUsbReport(const std::string& report);
    void RecordDatagram(const std::string& datagram);
    void ClearRecord();
    std::string Received() const;
    std::vector<std::string> Commands() const;
    std::vector<std::string> UsbReports() const;
    std::vector<std::string> Datagrams() const;
    bool WaitForCommands(size_t n, unsigned nTimeoutMs) const;

    void SetReply(const std::string& prefix, std::vector<std::string> chunks, unsigned nGapMs);
    void SetFault(const std::string& prefix, SimFault fault, unsigned nParam);
    void ClearScripts();
    // The scripted reply and the fault that apply to this command line (copies).
    CSimScript ScriptFor(const std::string& line) const;

    // Starts the restart window: the box is unreachable for config.nRestartMs.
    void Restart();
    bool IsRestarting() const;
    // Sleeps nMs unless the sim stops first; false when it stops.
    bool SleepFor(unsigned nMs) const;
    void RequestStop();

  private:
    // The entry of exactly this prefix, made when missing; the caller holds the mutex.
    CSimScript& ScriptEntry(const std::string& prefix);

    std::string m_strReceived;
    std::vector<std::string> m_commands;
    std::vector<std::string> m_usbReports;
    std::vector<std::string> m_datagrams;
    std::vector<std::pair<std::string, CSimScript>> m_scripts;
    std::chrono::steady_clock::time_point m_restartEnd{};
};
