// The simulated USB device on Linux: the report stream is a SOCK_SEQPACKET socket pair, whose
// ends the platform's socket calls serve like any other socket.
#include "tools/box_sim/sim_usb.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tools/box_sim/sim_channel.h"
#include "tools/box_sim/sim_exchange.h"
#include "tools/box_sim/sim_socket.h"
#include "tools/box_sim/sim_usb_pair.h"

namespace {

constexpr size_t kPayload = 1024;
// After the box went away mid-exchange, the host's remaining reports are dropped until it has
// been quiet this long.
constexpr unsigned kQuietMs = 300;

// The report stream as command lines and transfer bytes. Of each report only the bytes the box
// needs count: a command through its line end, transfer bytes up to the size still missing; the
// rest of a report is left over from earlier writes and is not significant.
class CSimUsbChannel : public CSimChannel {
  public:
    CSimUsbChannel(CSimBoxCore& core, int nFd) : m_core(core), m_nFd(nFd) {}

    bool ReadCommand(std::string* line) override;
    bool ReadData(size_t n, std::string* data, unsigned nIdleMs) override;
    bool SendMessage(const std::string& message) override;
    void Disconnect() override { m_bConnected = false; }
    bool IsOpen() const override { return m_bConnected && !m_bEnded; }

  private:
    // The payload of the next report within nIdleMs (0: no limit). Reports that come while the
    // box restarts are dropped. False on time-out, or when the host closed or the sim stops
    // (m_bEnded).
    bool ReadReport(std::string* payload, unsigned nIdleMs);
    void DropUntilQuiet();
    // Adds the command bytes of one payload to line; true when the line is complete.
    bool TakeCommandBytes(const std::string& payload, std::string* line);

    CSimBoxCore& m_core;
    int m_nFd;
    bool m_bConnected = true;
    bool m_bEnded = false;
};

bool CSimUsbChannel::ReadReport(std::string* payload, unsigned nIdleMs) {
    for (unsigned nWaited = 0; !m_bEnded; nWaited += kSimPollMs) {
        if (m_core.bStopping) break;
        if (nIdleMs != 0 && nWaited >= nIdleMs) return false;
        const int nReady = platform::WaitReadable(m_nFd, kSimPollMs);
        if (nReady == 0) continue;
        char report[4096];
        const long nRead = nReady < 0 ? -1 : platform::SocketReceive(m_nFd, report, sizeof(report));
        if (nRead <= 0) break;
        m_core.RecordUsbReport(std::string(report, static_cast<size_t>(nRead)));
        if (m_core.IsRestarting()) continue;
        payload->assign(report + 1, static_cast<size_t>(nRead) - 1);
        return true;
    }
    m_bEnded = true;
    return false;
}

void CSimUsbChannel::DropUntilQuiet() {
    std::string strPayload;
    while (ReadReport(&strPayload, kQuietMs)) {
    }
    m_bConnected = true;
}

bool CSimUsbChannel::TakeCommandBytes(const std::string& payload, std::string* line) {
    size_t nCr = payload.find('\r');
    if (nCr != std::string::npos) {
        size_t nEnd = nCr + 1 < payload.size() && payload[nCr + 1] == '\n' ? nCr + 2 : nCr + 1;
        line->append(payload, 0, nEnd);
        return true;
    }
    size_t nNul = payload.find('\0');
    line->append(payload, 0, nNul);
    return nNul != std::string::npos && !line->empty();
}

bool CSimUsbChannel::ReadCommand(std::string* line) {
    if (!m_bConnected) DropUntilQuiet();
    line->clear();
    std::string strPayload;
    while (ReadReport(&strPayload, 0)) {
        size_t nBefore = line->size();
        bool bComplete = TakeCommandBytes(strPayload, line);
        m_core.RecordBytes(line->substr(nBefore));
        if (bComplete) return true;
    }
    return false;
}

bool CSimUsbChannel::ReadData(size_t n, std::string* data, unsigned nIdleMs) {
    data->clear();
    std::string strPayload;
    while (data->size() < n) {
        if (!IsOpen() || !ReadReport(&strPayload, nIdleMs)) return false;
        size_t nTake = std::min(n - data->size(), std::min(strPayload.size(), kPayload));
        m_core.RecordBytes(strPayload.substr(0, nTake));
        data->append(strPayload, 0, nTake);
    }
    return true;
}

bool CSimUsbChannel::SendMessage(const std::string& message) {
    for (size_t nOffset = 0; nOffset < message.size(); nOffset += kPayload) {
        if (!IsOpen()) return false;
        char report[kPayload] = {};
        size_t nChunk = std::min(kPayload, message.size() - nOffset);
        memcpy(report, message.data() + nOffset, nChunk);
        if (!SendSimBytes(m_core, m_nFd, report, sizeof(report))) return false;
    }
    return IsOpen();
}

}  // namespace

bool CSimUsbPort::Start(int nFd) {
    m_thread = std::thread([this, nFd] {
        CSimUsbChannel channel(m_core, nFd);
        ServeSimChannel(m_core, channel);
    });
    return true;
}

void CSimUsbPort::Stop() {
    if (m_thread.joinable()) m_thread.join();
}

bool SimUsbAvailable() {
    return true;
}

CSimUsbPair::CSimUsbPair() {
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_nEnds) != 0) {
        m_nEnds[0] = m_nEnds[1] = -1;
    }
}

CSimUsbPair::~CSimUsbPair() {
    Close(SimUsbEnd::kHost);
    Close(SimUsbEnd::kBox);
}

platform::HidHandle CSimUsbPair::OpenHostHandle() const {
    return IsOpen() ? dup(m_nEnds[0]) : platform::kInvalidHidHandle;
}

bool CSimUsbPair::Send(SimUsbEnd end, const std::string& report) {
    const int nEnd = m_nEnds[static_cast<int>(end)];
    return nEnd >= 0 && platform::SocketSend(nEnd, report.data(), report.size()) ==
                            static_cast<long>(report.size());
}

std::string CSimUsbPair::Receive(SimUsbEnd end, unsigned nWaitMs) {
    const int nEnd = m_nEnds[static_cast<int>(end)];
    char report[4096];
    const long nRead = nEnd >= 0 && platform::WaitReadable(nEnd, nWaitMs) > 0
                           ? platform::SocketReceive(nEnd, report, sizeof(report))
                           : 0;
    return std::string(report, static_cast<size_t>(std::max(nRead, 0L)));
}

void CSimUsbPair::Close(SimUsbEnd end) {
    int& nEnd = m_nEnds[static_cast<int>(end)];
    if (nEnd >= 0) close(nEnd);
    nEnd = -1;
}
