// The whole pass-through on this machine: a program writes to the virtual COM port (the tunnel
// service's pseudo-terminal, linked in the ports folder), the service carries the bytes to the
// program's relay, the relay to a remote server on loopback, and the server's echo comes back
// the same way. Also direct mode, where the service talks to the remote server itself, and a
// service that is killed and started again in the middle.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/file_system.h"
#include "support/settings.h"
#include "tests/e2e/e2e_support.h"
#include "tests/fakes/port_client.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"
#include "tests/pass_through/loopback_client.h"
#include "tools/box_sim/sim_pass_server.h"
#include "tunnel/com_ports.h"
#include "tunnel/pass_through.h"
#include "tunnel/service_control.h"
#include "tunnel/virtual_port.h"

// The service here is the Linux tunnel service (tnl_service), whose virtual ports are
// pseudo-terminals linked in the ports folder. On Windows the tunnel service is the system's own.
#ifdef _WIN32
TEST(PassThroughEndToEnd, ThroughTheTunnelService) {
    GTEST_SKIP() << "the end-to-end tests run the Linux tunnel service with pseudo-terminal ports";
}
#else

namespace {

using namespace std::chrono_literals;

class CNullReport final : public ITunnelReport {
public:
    void ShowStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void ShowErrorText(const std::string& text) override { errorTexts.push_back(text); }
    std::vector<std::string> statusTexts, errorTexts;
};

class PassThroughEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        m_strRunDir = m_dir.PathOf("run");
        m_strPortsDir = m_dir.PathOf("ports");
        SetTestVariable("TNL_RUN_DIR", m_strRunDir);
        SetTestVariable("ZELVO_PORTS_DIR", m_strPortsDir);
        ASSERT_TRUE(platform::CreateSymbolicLink(TNL_SERVICE_PATH, m_dir.PathOf("tnl_service")));
        SetTunnelWaitPercent(20);
        g_appSettings.strVirCom = "COM7";
        g_appSettings.strTunnelHost = "127.0.0.1";
        m_nRelayPort = FreeLoopbackPort();
        g_appSettings.strTunnelPort = std::to_string(m_nRelayPort);
    }
    void TearDown() override {
        StopPassThrough();
        RemoveService();
        UnsetTestVariable("TNL_RUN_DIR");
        UnsetTestVariable("ZELVO_PORTS_DIR");
    }

    // The set-up thread's work, run here: installs and enables the service and creates the port.
    void SetUpVirtualPort() {
        RunVirtualPortSetup(m_report);
        ASSERT_TRUE(m_report.errorTexts.empty());
        ASSERT_EQ(IsPortPresent("COM7"), 1);
    }

    std::string RelayDescription(const CSimPassServer& remote, const std::string& strSubdomain) {
        return "{\"type\":1,\"url\":\"127.0.0.1:" + std::to_string(remote.Port()) + ":" +
               strSubdomain + "\",\"e_port\":" + std::to_string(m_nRelayPort) + "}";
    }

    CTempProgramDir m_dir;
    CNullReport m_report;
    std::string m_strRunDir, m_strPortsDir;
    int m_nRelayPort = 0;
};

TEST_F(PassThroughEndToEnd, RelayModeCarriesAMebibyteBothWaysAfterTheHandshake) {
    SetUpVirtualPort();
    CSimPassServer remote;
    ASSERT_TRUE(remote.Start("127.0.0.1", 0));
    ASSERT_EQ(StartPassThrough(RelayDescription(remote, "box42"), m_report), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 2);
    CPortClient port(PortDevicePath("COM7"));
    ASSERT_TRUE(port.IsOpen());
    for (size_t nSize : {size_t{1}, size_t{300}, size_t{1} << 20}) {
        const std::string data = RandomBytes(nSize);
        EXPECT_TRUE(port.RoundTrip(data) == data) << nSize << " bytes";
    }
    EXPECT_EQ(remote.Handshakes(), std::vector<std::string>{SubdomainRequest("box42")});
    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 0);
}

TEST_F(PassThroughEndToEnd, AKilledServiceComesBackWithItsPortAndConnection) {
    SetUpVirtualPort();
    CSimPassServer remote;
    ASSERT_TRUE(remote.Start("127.0.0.1", 0));
    ASSERT_EQ(StartPassThrough(RelayDescription(remote, "box7"), m_report), 1);
    {
        CPortClient port(PortDevicePath("COM7"));
        ASSERT_TRUE(port.IsOpen());
        EXPECT_EQ(port.RoundTrip("before"), "before");
    }
    const std::string strOldDevice = PortDevicePath("COM7");
    KillServiceHard(m_strRunDir);
    // The next start clears what the killed service left and brings its connection back.
    RunServiceCommand(EServiceCommand::kEnable);
    ASSERT_TRUE(WaitUntil([] { return IsPortPresent("COM7") == 1; }));
    CPortClient port(PortDevicePath("COM7"));
    ASSERT_TRUE(port.IsOpen());
    const std::string data = RandomBytes(64 * 1024);
    EXPECT_TRUE(port.RoundTrip(data) == data);
    EXPECT_EQ(remote.Handshakes(), std::vector<std::string>(2, SubdomainRequest("box7")));
}

TEST_F(PassThroughEndToEnd, DirectModeShakesHandsThroughThePortWithDefaultSerialSettings) {
    SetUpVirtualPort();
    CSimPassServer remote;
    ASSERT_TRUE(remote.Start("127.0.0.1", 0));
    const std::string strDescription =
        "{\"url\":\"127.0.0.1:" + std::to_string(remote.Port()) + ":plant3\"}";
    ASSERT_EQ(StartPassThrough(strDescription, m_report), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 1);
    EXPECT_EQ(g_appSettings.strSerialParams, "9600,E,7,1");
    EXPECT_TRUE(WaitUntil([&] { return remote.Handshakes().size() == 1; }));
    EXPECT_EQ(remote.Handshakes(), std::vector<std::string>{SubdomainRequest("plant3")});
    CPortClient port(PortDevicePath("COM7"));
    ASSERT_TRUE(port.IsOpen());
    const std::string data = RandomBytes(100 * 1024);
    EXPECT_TRUE(port.RoundTrip(data) == data);
    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_appSettings.strTunnelHost, "localhost");
    EXPECT_EQ(g_appSettings.strTunnelPort, "5001");
}

}  // namespace
#endif
