#include "tools/box_sim/box_sim.h"

#include "tools/box_sim/sim_core.h"
#include "tools/box_sim/sim_discovery.h"
#include "tools/box_sim/sim_tcp_server.h"
#include "tools/box_sim/sim_usb.h"

struct CSimBoxImpl {
    CSimBoxCore core;
    std::unique_ptr<CSimTcpServer> tcp;
    std::unique_ptr<CSimDiscovery> discovery;
    std::unique_ptr<CSimUsbPort> usb;
    bool bRunning = false;

    bool StartServers() {
        const CSimBoxConfig& config = core.config;
        if (config.nTcpPort != 0) {
            tcp = std::make_unique<CSimTcpServer>(core);
            if (!tcp->Start()) return false;
        }
        if (!config.strDiscoveryAddress.empty()) {
            discovery = std::make_unique<CSimDiscovery>(core);
            if (!discovery->Start()) return false;
        }
        if (config.nUsbFd >= 0) {
            usb = std::make_unique<CSimUsbPort>(core);
            if (!usb->Start(config.nUsbFd)) return false;
        }
        return true;
    }

    void StopServers() {
        core.RequestStop();
        tcp.reset();
        discovery.reset();
        usb.reset();
    }
};

namespace {

// One decimal field of a dotted address from position *pAt: 1 to 3 digits without a leading
// zero, at most 255 (as inet_pton takes them). -1 when there is none.
int TakeAddressField(const std::string& strAddress, size_t* pAt) {
    const size_t nStart = *pAt;
    int nValue = 0;
    while (*pAt < strAddress.size() && *pAt - nStart < 3 && strAddress[*pAt] >= '0' &&
           strAddress[*pAt] <= '9') {
        nValue = nValue * 10 + (strAddress[(*pAt)++] - '0');
    }
    const size_t nDigits = *pAt - nStart;
    if (nDigits == 0 || nValue > 255 || (nDigits > 1 && strAddress[nStart] == '0')) return -1;
    return nValue;
}

}  // namespace

bool IsLoopbackAddress(const std::string& strAddress) {
    size_t nAt = 0;
    int nFirst = -1;
    for (int nField = 0; nField < 4; ++nField) {
        if (nField > 0 && (nAt >= strAddress.size() || strAddress[nAt++] != '.')) return false;
        const int nValue = TakeAddressField(strAddress, &nAt);
        if (nValue < 0) return false;
        if (nField == 0) nFirst = nValue;
    }
    return nAt == strAddress.size() && nFirst == 127;
}

CSimBox::CSimBox() : m_impl(std::make_unique<CSimBoxImpl>()) {}

CSimBox::~CSimBox() {
    Stop();
}

bool CSimBox::Start(const CSimBoxConfig& config) {
    if (m_impl->bRunning || !IsLoopbackAddress(config.strAddress)) return false;
    if (!config.strDiscoveryAddress.empty() && !IsLoopbackAddress(config.strDiscoveryAddress)) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_impl->core.mutex);
        m_impl->core.config = config;
        m_impl->core.bStopping = false;
    }
    if (!m_impl->StartServers()) {
        m_impl->StopServers();
        return false;
    }
    m_impl->bRunning = true;
    return true;
}

void CSimBox::Stop() {
    if (!m_impl->bRunning) return;
    m_impl->StopServers();
    m_impl->bRunning = false;
}

void CSimBox::SetReply(const std::string& strPrefix, std::vector<std::string> chunks,
                       unsigned nGapMs) {
    m_impl->core.SetReply(strPrefix, std::move(chunks), nGapMs);
}

void CSimBox::ClearReplies() {
    m_impl->core.ClearScripts();
}

void CSimBox::SetFault(const std::string& strPrefix, SimFault fault, unsigned nParam) {
    m_impl->core.SetFault(strPrefix, fault, nParam);
}

std::string CSimBox::Received() const {
    return m_impl->core.Received();
}

std::vector<std::string> CSimBox::Commands() const {
    return m_impl->core.Commands();
}

std::vector<std::string> CSimBox::UsbReports() const {
    return m_impl->core.UsbReports();
}

std::vector<std::string> CSimBox::Datagrams() const {
    return m_impl->core.Datagrams();
}

void CSimBox::ClearRecord() {
    m_impl->core.ClearRecord();
}

bool CSimBox::WaitForCommands(size_t n, unsigned nTimeoutMs) const {
    return m_impl->core.WaitForCommands(n, nTimeoutMs);
}

std::unique_lock<std::mutex> CSimBox::Lock() {
    return std::unique_lock<std::mutex>(m_impl->core.mutex);
}

CSimBoxState& CSimBox::State() {
    return m_impl->core.state;
}

uint16_t CSimBox::TcpPort() const {
    return m_impl->bRunning ? m_impl->core.config.nTcpPort : 0;
}

bool CSimBox::IsRestarting() const {
    return m_impl->core.IsRestarting();
}

std::string StartOnFreeLoopbackAddress(CSimBox& box, CSimBoxConfig config, int nThird) {
    for (int nHost = 20; nHost <= 250; ++nHost) {
        config.strAddress = "127.0." + std::to_string(nThird) + "." + std::to_string(nHost);
        if (box.Start(config)) return config.strAddress;
    }
    return "";
}
