#include "tools/box_sim/sim_discovery.h"

#include "tools/box_sim/sim_channel.h"
#include "tools/box_sim/sim_exchange.h"
#include "tools/box_sim/sim_socket.h"

namespace {

constexpr const char* kRequest = "GetHostName\r";

// One datagram exchange: no command bytes follow, every reply message is one datagram.
class CSimDatagramChannel : public CSimChannel {
  public:
    CSimDatagramChannel(const CSimBoxCore& core, platform::SocketHandle s, std::string strPeer,
                        uint16_t nPeerPort)
        : m_core(core), m_socket(s), m_strPeer(std::move(strPeer)), m_nPeerPort(nPeerPort) {}

    bool ReadCommand(std::string*) override { return false; }
    bool ReadData(size_t, std::string*, unsigned) override { return false; }
    bool SendMessage(const std::string& message) override {
        return !m_core.bStopping && platform::SendDatagram(m_socket, m_strPeer, m_nPeerPort,
                                                           message.data(), message.size());
    }
    void Disconnect() override {}
    bool IsOpen() const override { return true; }

  private:
    const CSimBoxCore& m_core;
    platform::SocketHandle m_socket;
    std::string m_strPeer;
    uint16_t m_nPeerPort;
};

void CloseSimSocket(platform::SocketHandle* pSocket) {
    platform::CloseSocket(*pSocket);
    *pSocket = platform::kInvalidSocket;
}

}  // namespace

// The listener shares its port with the program's broadcast socket, which is bound to any
// address; that takes the reuse flag on both.
bool CSimDiscovery::Start() {
    const CSimBoxConfig& config = m_core.config;
    m_listen = platform::BindUdpSocket(config.strDiscoveryAddress, config.nDiscoveryPort);
    m_answer = platform::BindUdpSocket(config.strAddress, 0);
    if (m_listen == platform::kInvalidSocket || m_answer == platform::kInvalidSocket ||
        !platform::SetSocketAddressReuse(m_listen, true)) {
        Stop();
        return false;
    }
    m_thread = std::thread(&CSimDiscovery::Run, this);
    return true;
}

void CSimDiscovery::Stop() {
    if (m_thread.joinable()) m_thread.join();
    CloseSimSocket(&m_listen);
    CloseSimSocket(&m_answer);
}

void CSimDiscovery::Run() {
    while (!m_core.bStopping) {
        if (platform::WaitReadable(m_listen, kSimPollMs) <= 0) continue;
        char szDatagram[4096];
        std::string strSender;
        uint16_t nSenderPort = 0;
        const long nRead = platform::ReceiveDatagramFrom(m_listen, szDatagram, sizeof(szDatagram),
                                                         &strSender, &nSenderPort);
        if (nRead < 0) continue;
        std::string strDatagram(szDatagram, static_cast<size_t>(nRead));
        m_core.RecordDatagram(strDatagram);
        if (!m_core.IsRestarting()) Answer(strDatagram, strSender, nSenderPort);
    }
}

// Only the host name request is answered; the box's other commands belong to its command port.
// Scripted replies and faults of "GetHostName" apply here too (two chunks = two answers).
void CSimDiscovery::Answer(const std::string& datagram, const std::string& strSender,
                           uint16_t nSenderPort) {
    if (datagram != kRequest) return;
    CSimDatagramChannel channel(m_core, m_answer, strSender, nSenderPort);
    RunSimLine(m_core, channel, datagram);
}
