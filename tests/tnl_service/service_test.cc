// The control program and the service as the program meets them: a temporary run folder and
// ports folder, connections added over the socket, a program on the linked pseudo-terminal, and
// loopback peers on the network side.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <pugixml.hpp>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/fakes/port_client.h"
#include "tests/tnl_service/echo_peer.h"
#include "tnl/service/service_socket.h"

namespace tnl_service_test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "ZELVO_COM";
constexpr auto kLimit = 20s;

template <typename Predicate>
bool WaitUntil(Predicate predicate) {
    const auto end = std::chrono::steady_clock::now() + kLimit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string Connection(const std::string& type, const std::string& portName,
                       const std::string& network, const std::string& name = kName) {
    return "<connection><type>" + type + "</type><name>" + name + "</name><port><name>" + portName +
           "</name><type>Virtual</type><settings>9600,N,8,1</settings></port>"
           "<protocol><reconnect enable=\"1\" timeout=\"50\"/><maxconnections value=\"1\"/>"
           "</protocol><network>" +
           network + "</network><security/></connection>";
}

std::string Host(uint16_t nPort) {
    return "<host name=\"127.0.0.1\" port=\"" + std::to_string(nPort) + "\"/>";
}

std::string IncomePort(uint16_t nPort) {
    return "<incomeport port=\"" + std::to_string(nPort) + "\"/>";
}

class TunnelServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strDir = platform::MakeTempDirectory("tnl_service_test");
        m_strRunDir = m_strDir + "/run";
        m_strPortsDir = m_strDir + "/ports";
        setenv("TNL_RUN_DIR", m_strRunDir.c_str(), 1);
        setenv("ZELVO_PORTS_DIR", m_strPortsDir.c_str(), 1);
        unsetenv("TNL_SERVER_BIND");
    }
    void TearDown() override {
        Control("uninstall");
        platform::RemoveDirectoryTree(m_strDir);
    }

    int Control(const std::string& word) {
        platform::CSpawnRequest request;
        request.strProgram = TNL_SERVICE_PATH;
        request.args = {word};
        std::string strOutput;
        return platform::RunAndCapture(request, &strOutput);
    }
    void Enable() {
        ASSERT_EQ(Control("install"), 0);
        ASSERT_EQ(Control("enable"), 0);
    }

    // Sends one operation; the reply's operation element (empty when the service is gone).
    pugi::xml_node Send(const std::string& operation) {
        std::string strReply;
        m_reply.reset();
        if (tnl_service::SendServiceRequest(
                m_strRunDir, "<proto version=\"6.0\">" + operation + "</proto>", &strReply)) {
            m_reply.load_string(strReply.c_str());
        }
        return m_reply.child("proto").child("operation");
    }
    bool Succeeds(const std::string& operation) {
        return std::string(Send(operation).attribute("type").value()) == "SUCCESS";
    }
    void Add(const std::string& connection) {
        ASSERT_TRUE(Succeeds("<operation type=\"ADD\">" + connection + "</operation>"));
    }
    bool Delete(const std::string& name = kName) {
        return Succeeds("<operation type=\"DELETE\"><connection><name>" + name +
                        "</name></connection></operation>");
    }
    // An attribute of the connection's status element at path, e.g. ("stat", "sent").
    std::string Status(const char* szPath, const char* szAttribute) {
        pugi::xml_node status =
            Send(std::string("<operation type=\"GETSTAT\" applyto=\"") + kName + "\"/>")
                .child("connection")
                .child("status");
        return status.child(szPath).attribute(szAttribute).value();
    }
    size_t Listed() {
        pugi::xml_node list = Send("<operation type=\"GETLIST\" status=\"1\"/>");
        return std::distance(list.children("connection").begin(),
                             list.children("connection").end());
    }

    std::string LinkPath(const std::string& name) const { return m_strPortsDir + "/" + name; }
    // Where the link points; empty when there is no link.
    std::string LinkTarget(const std::string& name) const {
        char szTarget[256];
        ssize_t nLength = readlink(LinkPath(name).c_str(), szTarget, sizeof(szTarget));
        return nLength > 0 ? std::string(szTarget, static_cast<size_t>(nLength)) : std::string();
    }
    pid_t WorkerPid() const {
        std::string strText;
        platform::ReadFileBytes(m_strRunDir + "/worker.pid", &strText);
        return static_cast<pid_t>(atol(strText.c_str()));
    }

    std::string m_strDir, m_strRunDir, m_strPortsDir;
    pugi::xml_document m_reply;
};

TEST_F(TunnelServiceTest, EachTypeCarriesBytesBothWaysAndCountsThem) {
    struct CCase {
        const char* szType;
        EPeerKind eKind;
    };
    const CCase kCases[] = {{"CLIENT", EPeerKind::kTcpServer},
                            {"SERVER", EPeerKind::kTcpClient},
                            {"UDP", EPeerKind::kUdp}};
    Enable();
    for (const CCase& test : kCases) {
        SCOPED_TRACE(test.szType);
        uint16_t nIncomePort = FreeLoopbackPort();
        CEchoPeer peer(test.eKind, nIncomePort);
        std::string strNetwork = test.eKind == EPeerKind::kTcpServer ? Host(peer.Port())
                                 : test.eKind == EPeerKind::kTcpClient
                                     ? IncomePort(nIncomePort)
                                     : Host(peer.Port()) + IncomePort(nIncomePort);
        Add(Connection(test.szType, "COM5", strNetwork));
        ASSERT_TRUE(WaitUntil([&] { return !LinkTarget("com5").empty(); }));
        EXPECT_EQ(Status("port", "state"), "0");
        {
            CPortClient port(LinkPath("com5"));
            ASSERT_TRUE(port.IsOpen());
            ASSERT_TRUE(WaitUntil([&] { return Status("port", "state") == "1"; }));
            EXPECT_EQ(port.RoundTrip("hello", kLimit), "hello");
            EXPECT_EQ(Status("port", "settings"), "9600,N,8,1");
            EXPECT_EQ(Status("stat", "sent"), "5");
            EXPECT_EQ(Status("stat", "recv"), "5");
            EXPECT_EQ(Status("remotehost", "state"), "1");
            EXPECT_EQ(Status("remotehost", "host"), "127.0.0.1");
            EXPECT_EQ(Status("serverstate", "state"), "1");
        }
        EXPECT_TRUE(WaitUntil([&] { return Status("port", "state") == "0"; }));
        EXPECT_TRUE(Delete());
        EXPECT_EQ(LinkTarget("com5"), "");
    }
}

TEST_F(TunnelServiceTest, ServerCarriesOnlyAsManyClientsAsAllowed) {
    Enable();
    uint16_t nIncomePort = FreeLoopbackPort();
    Add(Connection("SERVER", "COM3", IncomePort(nIncomePort)));
    CEchoPeer first(EPeerKind::kTcpClient, nIncomePort);
    ASSERT_TRUE(WaitUntil([&] { return Status("serverstate", "activeconns") == "1"; }));
    // The second is accepted and closed at once, and keeps coming back.
    CEchoPeer second(EPeerKind::kTcpClient, nIncomePort);
    ASSERT_TRUE(WaitUntil([&] { return second.Connections() >= 2; }));
    EXPECT_EQ(Status("serverstate", "activeconns"), "1");
    EXPECT_EQ(first.Connections(), 1);
}

TEST_F(TunnelServiceTest, ClientConnectsAgainAfterADropOrAnIdleBreak) {
    Enable();
    for (bool bIdleBreak : {false, true}) {
        SCOPED_TRACE(bIdleBreak ? "idle break" : "dropped by the peer");
        CEchoPeer peer(EPeerKind::kTcpServer);
        std::string strBreak = bIdleBreak ? "<break enable=\"1\" timeout=\"200\"/>" : "";
        Add(Connection("CLIENT", "COM4", Host(peer.Port()) + strBreak));
        ASSERT_TRUE(WaitUntil([&] { return !LinkTarget("com4").empty(); }));
        CPortClient port(LinkPath("com4"));
        EXPECT_EQ(port.RoundTrip("one", kLimit), "one");
        if (!bIdleBreak) peer.DropConnections();
        EXPECT_TRUE(WaitUntil([&] { return peer.Connections() >= 2; }));
        EXPECT_EQ(port.RoundTrip("two", kLimit), "two");
        EXPECT_TRUE(Delete());
    }
}

TEST_F(TunnelServiceTest, ConnectionsOutliveDisableButNotDelete) {
    Enable();
    CEchoPeer peer(EPeerKind::kTcpServer);
    Add(Connection("CLIENT", "com6", Host(peer.Port())));
    ASSERT_TRUE(WaitUntil([&] { return !LinkTarget("com6").empty(); }));
    ASSERT_EQ(Control("disable"), 0);
    EXPECT_EQ(LinkTarget("com6"), "");
    EXPECT_FALSE(platform::FileExists(m_strRunDir + "/links"));
    ASSERT_EQ(Control("enable"), 0);
    EXPECT_EQ(Listed(), 1u);
    EXPECT_NE(LinkTarget("com6"), "");
    ASSERT_TRUE(Delete());
    EXPECT_EQ(LinkTarget("com6"), "");
    ASSERT_EQ(Control("disable"), 0);
    ASSERT_EQ(Control("enable"), 0);
    EXPECT_EQ(Listed(), 0u);
}

TEST_F(TunnelServiceTest, AKilledWorkerIsReplacedWithItsPorts) {
    Enable();
    CEchoPeer peer(EPeerKind::kTcpServer);
    Add(Connection("CLIENT", "COM8", Host(peer.Port())));
    ASSERT_TRUE(WaitUntil([&] { return !LinkTarget("com8").empty(); }));
    pid_t nKilled = WorkerPid();
    ASSERT_GT(nKilled, 0);
    ASSERT_EQ(kill(nKilled, SIGKILL), 0);
    ASSERT_TRUE(WaitUntil([&] { return WorkerPid() != nKilled && Listed() == 1; }));
    CPortClient port(LinkPath("com8"));
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.RoundTrip("again", kLimit), "again");
}

TEST_F(TunnelServiceTest, StartClearsWhatAnEarlierRunLeftAndKeepsOthersLinks) {
    ASSERT_TRUE(platform::CreateDirectories(m_strRunDir));
    ASSERT_TRUE(platform::CreateDirectories(m_strPortsDir));
    ASSERT_EQ(chmod(m_strRunDir.c_str(), 0755), 0);
    // com9 was made by a killed service (recorded), com5 points nowhere, com6 is somebody's.
    ASSERT_EQ(symlink("/dev/null", LinkPath("com9").c_str()), 0);
    ASSERT_TRUE(platform::WriteFileAtomic(m_strRunDir + "/links", LinkPath("com9") + "\n"));
    ASSERT_EQ(symlink((m_strDir + "/gone").c_str(), LinkPath("com5").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", LinkPath("com6").c_str()), 0);
    Enable();
    struct stat info;
    ASSERT_EQ(stat(m_strRunDir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(LinkTarget("com9"), "");

    CEchoPeer peer(EPeerKind::kTcpServer);
    Add(Connection("CLIENT", "COM5", Host(peer.Port())));
    Add(Connection("CLIENT", "COM6", Host(peer.Port()), "other"));
    EXPECT_EQ(LinkTarget("com5").rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(LinkTarget("com6"), "/dev/null");
}

}  // namespace
}  // namespace tnl_service_test
