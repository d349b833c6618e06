#include "tools/box_sim/sim_discovery.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/box_sim/sim_channel.h"
#include "tools/box_sim/sim_exchange.h"
#include "tools/box_sim/sim_socket.h"

namespace {

constexpr const char* kRequest = "GetHostName\r";

// One datagram exchange: no command bytes follow, every reply message is one datagram.
class CSimDatagramChannel : public CSimChannel {
  public:
    CSimDatagramChannel(const CSimBoxCore& core, int nSocket, const sockaddr_in& peer)
        : m_core(core), m_nSocket(nSocket), m_peer(peer) {}

    bool ReadCommand(std::string*) override { return false; }
    bool ReadData(size_t, std::string*, unsigned) override { return false; }
    bool SendMessage(const std::string& message) override {
        if (m_core.bStopping) return false;
        return sendto(m_nSocket, message.data(), message.size(), MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&m_peer), sizeof(m_peer)) >= 0;
    }
    void Disconnect() override {}
    bool IsOpen() const override { return true; }

  private:
    const CSimBoxCore& m_core;
    int m_nSocket;
    sockaddr_in m_peer;
};

void CloseSocket(int* pSocket) {
    if (*pSocket >= 0) close(*pSocket);
    *pSocket = -1;
}

}  // namespace

bool CSimDiscovery::Start() {
    const CSimBoxConfig& config = m_core.config;
    m_nListenSocket = BindSimSocket(SOCK_DGRAM, config.strDiscoveryAddress, config.nDiscoveryPort);
    m_nAnswerSocket = BindSimSocket(SOCK_DGRAM, config.strAddress, 0);
    if (m_nListenSocket < 0 || m_nAnswerSocket < 0) {
        Stop();
        return false;
    }
    m_thread = std::thread(&CSimDiscovery::Run, this);
    return true;
}

void CSimDiscovery::Stop() {
    if (m_thread.joinable()) m_thread.join();
    CloseSocket(&m_nListenSocket);
    CloseSocket(&m_nAnswerSocket);
}

void CSimDiscovery::Run() {
    while (!m_core.bStopping) {
        if (WaitSimReadable(m_nListenSocket, kSimPollMs) <= 0) continue;
        char szDatagram[4096];
        sockaddr_in sender;
        socklen_t nSenderSize = sizeof(sender);
        ssize_t nRead = recvfrom(m_nListenSocket, szDatagram, sizeof(szDatagram), 0,
                                 reinterpret_cast<sockaddr*>(&sender), &nSenderSize);
        if (nRead < 0) continue;
        std::string strDatagram(szDatagram, static_cast<size_t>(nRead));
        m_core.RecordDatagram(strDatagram);
        if (!m_core.IsRestarting()) Answer(strDatagram, sender);
    }
}

// Only the host name request is answered; the box's other commands belong to its command port.
// Scripted replies and faults of "GetHostName" apply here too (two chunks = two answers).
void CSimDiscovery::Answer(const std::string& datagram, const sockaddr_in& sender) {
    if (datagram != kRequest) return;
    CSimDatagramChannel channel(m_core, m_nAnswerSocket, sender);
    RunSimLine(m_core, channel, datagram);
}
