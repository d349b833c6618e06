#include "tools/box_sim/sim_core.h"

namespace {

bool EndsWord(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

// A bare word matches that command word only; a prefix that reaches past the word matches any
// line that begins with it.
bool PrefixMatches(const std::string& prefix, const std::string& line) {
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    if (prefix.find_first_of(" \r\n") != std::string::npos) return true;
    return line.size() == prefix.size() || EndsWord(line[prefix.size()]);
}

}  // namespace

void CSimBoxCore::RecordBytes(const char* pBytes, size_t nLength) {
    constexpr size_t kMaxRecorded = 16 << 20;  // enough for any test; transfers go beyond
    std::lock_guard<std::mutex> lock(mutex);
    if (m_strReceived.size() < kMaxRecorded) m_strReceived.append(pBytes, nLength);
}

void CSimBoxCore::RecordCommand(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        m_commands.push_back(line);
    }
    changed.notify_all();
}

void CSimBoxCore::RecordUsbReport(const std::string& report) {
    std::lock_guard<std::mutex> lock(mutex);
    m_usbReports.push_back(report);
}

void CSimBoxCore::RecordDatagram(const std::string& datagram) {
    std::lock_guard<std::mutex> lock(mutex);
    m_datagrams.push_back(datagram);
}

void CSimBoxCore::ClearRecord() {
    std::lock_guard<std::mutex> lock(mutex);
    m_strReceived.clear();
    m_commands.clear();
    m_usbReports.clear();
    m_datagrams.clear();
}

std::string CSimBoxCore::Received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return m_strReceived;
}

std::vector<std::string> CSimBoxCore::Commands() const {
    std::lock_guard<std::mutex> lock(mutex);
    return m_commands;
}

std::vector<std::string> CSimBoxCore::UsbReports() const {
    std::lock_guard<std::mutex> lock(mutex);
    return m_usbReports;
}

std::vector<std::string> CSimBoxCore::Datagrams() const {
    std::lock_guard<std::mutex> lock(mutex);
    return m_datagrams;
}

bool CSimBoxCore::WaitForCommands(size_t n, unsigned nTimeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                            [&] { return m_commands.size() >= n; });
}

CSimScript& CSimBoxCore::ScriptEntry(const std::string& prefix) {
    for (auto& [entryPrefix, script] : m_scripts) {
        if (entryPrefix == prefix) return script;
    }
    m_scripts.emplace_back(prefix, CSimScript());
    return m_scripts.back().second;
}

void CSimBoxCore::SetReply(const std::string& prefix, std::vector<std::string> chunks,
                           unsigned nGapMs) {
    std::lock_guard<std::mutex> lock(mutex);
    CSimScript& script = ScriptEntry(prefix);
    script.bHasReply = true;
    script.chunks = std::move(chunks);
    script.nGapMs = nGapMs;
}

void CSimBoxCore::SetFault(const std::string& prefix, SimFault fault, unsigned nParam) {
    std::lock_guard<std::mutex> lock(mutex);
    CSimScript& script = ScriptEntry(prefix);
    script.eFault = fault;
    script.nFaultParam = nParam;
}

void CSimBoxCore::ClearScripts() {
    std::lock_guard<std::mutex> lock(mutex);
    m_scripts.clear();
}

CSimScript CSimBoxCore::ScriptFor(const std::string& line) const {
    std::lock_guard<std::mutex> lock(mutex);
    CSimScript result;
    size_t nReplyLength = 0, nFaultLength = 0;
    for (const auto& [prefix, script] : m_scripts) {
        if (!PrefixMatches(prefix, line)) continue;
        if (script.bHasReply && prefix.size() >= nReplyLength) {
            nReplyLength = prefix.size();
            result.bHasReply = true;
            result.chunks = script.chunks;
            result.nGapMs = script.nGapMs;
        }
        if (script.eFault != SimFault::kNone && prefix.size() >= nFaultLength) {
            nFaultLength = prefix.size();
            result.eFault = script.eFault;
            result.nFaultParam = script.nFaultParam;
        }
    }
    return result;
}

void CSimBoxCore::Restart() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        m_restartEnd =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(config.nRestartMs);
        state.bStopped = false;
        ++state.nRestartCount;
    }
    changed.notify_all();
}

bool CSimBoxCore::IsRestarting() const {
    std::lock_guard<std::mutex> lock(mutex);
    return std::chrono::steady_clock::now() < m_restartEnd;
}

bool CSimBoxCore::SleepFor(unsigned nMs) const {
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_for(lock, std::chrono::milliseconds(nMs),
                             [this] { return bStopping.load(); });
}

void CSimBoxCore::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        bStopping = true;
    }
    changed.notify_all();
}
