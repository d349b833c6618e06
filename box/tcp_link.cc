#include "box/tcp_link.h"

namespace {

constexpr size_t kDrainBytes = 256;

}  // namespace

bool BoxTcpLink::Open(int nPort, const std::string& strAddress) {
    if (strAddress.empty()) return false;
    Close();
    if (nPort <= 0 || nPort > 65535) return false;
    m_boxSocket = platform::ConnectTcp(strAddress, static_cast<uint16_t>(nPort),
                                       m_timing.nConnectMs);
    if (!IsOpen()) return false;
    if (platform::SetSocketTimeouts(m_boxSocket, m_timing.nTransferMs, m_timing.nTransferMs)) {
        return true;
    }
    Close();
    return false;
}

void BoxTcpLink::Close() {
    platform::CloseSocket(m_boxSocket);
    m_boxSocket = platform::kInvalidSocket;
}

bool BoxTcpLink::Send(const char* pData, size_t nLength, size_t* pnCount) {
    const long n = platform::SocketSend(m_boxSocket, pData, nLength);
    *pnCount = n > 0 ? static_cast<size_t>(n) : 0;
    return n >= 0;
}

bool BoxTcpLink::Receive(char* pBuffer, size_t nLength, size_t* pnCount) {
    const long n = platform::SocketReceive(m_boxSocket, pBuffer, nLength);
    *pnCount = n > 0 ? static_cast<size_t>(n) : 0;
    return n >= 0;
}

bool BoxTcpLink::Drain(int nFlag) {
    if (nFlag != 0) return true;
    if (platform::WaitReadable(m_boxSocket, m_timing.nDrainMs) != 1) return true;
    char scratch[kDrainBytes];
    return platform::SocketReceive(m_boxSocket, scratch, sizeof(scratch)) >= 0;
}
