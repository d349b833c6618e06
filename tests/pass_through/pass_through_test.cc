// The pass-through commands: the description, relay mode through the process-wide relay, and
// direct mode against the in-process tunnel service with a pseudo-terminal as the virtual port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/settings.h"
#include "tests/fakes/test_env.h"
#include "tests/pass_through/loopback_client.h"
#include "tnl/service/fake_tunnel_service.h"
#include "tools/box_sim/sim_pass_server.h"
#include "tunnel/pass_through.h"

// Direct mode's virtual port is a pseudo-terminal linked in the ports folder, which Windows does
// not have (its COM ports are the system's own).
#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

class CRecordingTunnelReport final : public ITunnelReport {
public:
    void ShowStatusText(const std::string&) override {}
    void ShowErrorText(const std::string& text) override { errorTexts.push_back(text); }
    std::vector<std::string> errorTexts;
};

#ifndef _WIN32
// A pseudo-terminal whose slave stands in for the virtual port's device. The slave stays open
// here too, so that the master never sees a hang-up between the program's opens.
class CPty {
public:
    ~CPty() {
        if (m_nSlave >= 0) close(m_nSlave);
        if (m_nMaster >= 0) close(m_nMaster);
    }
    bool Open() {
        char szSlave[128];
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0 ||
            ptsname_r(m_nMaster, szSlave, sizeof(szSlave)) != 0) {
            return false;
        }
        m_strSlavePath = szSlave;
        m_nSlave = open(szSlave, O_RDWR | O_NOCTTY);
        termios tio{};
        return m_nSlave >= 0 && tcgetattr(m_nSlave, &tio) == 0 && (cfmakeraw(&tio), true) &&
               tcsetattr(m_nSlave, TCSANOW, &tio) == 0;
    }
    // The remote server at the far end of the port: reads the handshake request and answers.
    std::string AnswerHandshake(const std::string& strAnswer) const {
        std::string strRequest;
        for (int i = 0; i < 200 && (strRequest.empty() || strRequest.back() != '}'); ++i) {
            pollfd pfd{m_nMaster, POLLIN, 0};
            char buffer[256];
            if (poll(&pfd, 1, 100) != 1) continue;
            const ssize_t n = read(m_nMaster, buffer, sizeof(buffer));
            if (n > 0) strRequest.append(buffer, static_cast<size_t>(n));
        }
        if (write(m_nMaster, strAnswer.data(), strAnswer.size()) < 0) return "write failed";
        return strRequest;
    }
    const std::string& SlavePath() const { return m_strSlavePath; }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_strSlavePath;
};
#endif

class PassThroughTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(platform::MakeTempDirectory("pass_through_test"));
        ASSERT_TRUE(fs::is_directory(m_dir));
        fs::create_directories(m_dir / "run");
        fs::create_directories(m_dir / "ports");
        fs::create_directories(m_dir / "html" / "i18n");
        std::ofstream(m_dir / "html" / "i18n" / "strings_en.properties")
            << "create_error=The virtual port could not be created\n";
        // No control program here: the service commands start nothing.
        platform::SetProgramDirectory(m_dir.string());
        SetTestVariable("TNL_RUN_DIR", (m_dir / "run").string());
        SetTestVariable("ZELVO_PORTS_DIR", (m_dir / "ports").string());
        SetTunnelWaitPercent(1);
        g_appSettings = CAppSettings{};
        g_appSettings.strVirCom = "COM7";
        g_nPassThroughMode = 0;
    }
    void TearDown() override {
        StopPassThrough();
        platform::SetProgramDirectory("");
        UnsetTestVariable("TNL_RUN_DIR");
        UnsetTestVariable("ZELVO_PORTS_DIR");
        fs::remove_all(m_dir);
    }
    std::string RelayDescription(const std::string& strUrl, int nListenPort) {
        return "{\"type\":1,\"url\":\"" + strUrl + "\",\"e_port\":" + std::to_string(nListenPort) +
               "}";
    }
    // The last ADD request the service saw, or empty.
    static std::string LastAdd(const tnl_fake::CFakeTunnelService& service) {
        const std::vector<std::string> requests = service.Requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (it->find("\"ADD\"") != std::string::npos) return *it;
        }
        return "";
    }

    fs::path m_dir;
    CRecordingTunnelReport m_report;
};

// The request in one line: type, host, port, subdomain (- when not given), listen port (-
// when not given), serial settings.
std::string Describe(const CPassThroughRequest& r) {
    return std::to_string(r.nType) + " " + r.strHost + " " + r.strPort + " " +
           (r.bHasSubdomain ? "[" + r.strSubdomain + "]" : "-") + " " +
           (r.bHasListenPort ? std::to_string(r.nListenPort) : "-") + " " + r.strSerialParams;
}

TEST(PassThroughDescription, ReadsEveryFormOfTheDescription) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "0 127.0.0.1 61 - - 9600,E,7,1"},
        {"{}", "0   - - 9600,E,7,1"},
        {R"({"type":1,"url":"127.0.0.1:9000:plant3","e_port":6000,"deviceId":"x"})",
         "1 127.0.0.1 9000 [plant3] 6000 9600,E,7,1"},
        {R"({"TYPE":"1","Url":"localhost:81","E_PORT":"6001x"})", "1 localhost 81 - 6001 9600,E,7,1"},
        {R"({"url":"relay:82:"})", "0 relay 82 [] - 9600,E,7,1"},
        {R"({"url":"relay"})", "0 relay  - - 9600,E,7,1"},
        {R"({"baudrate":"115200","check_bit":"NONE","data_length":8,"stop_bit":"2"})",
         "0   - - 115200,N,8,2"},
    };
    for (const auto& [strText, strExpected] : cases) {
        CPassThroughRequest request;
        ASSERT_TRUE(ParsePassThroughDescription(strText, &request)) << strText;
        EXPECT_EQ(Describe(request), strExpected) << strText;
    }
    CPassThroughRequest request;
    for (const char* szBad : {"{\"type\":1", "[1]", "not json"}) {
        EXPECT_FALSE(ParsePassThroughDescription(szBad, &request)) << szBad;
    }
}

TEST_F(PassThroughTest, RelayStartsKeepTheSubdomainUntilAUrlNamesAnother) {
    const int nListenPort = FreeLoopbackPort();
    const std::pair<std::string, std::string> steps[] = {
        {"127.0.0.1:4001", "[]"}, {"127.0.0.1:4002:plant3", "[plant3]"},
        {"localhost:4003", "[plant3]"}, {"127.0.0.1:4004:", "[]"}};
    for (const auto& [strUrl, strSubdomain] : steps) {
        ASSERT_EQ(StartPassThrough(RelayDescription(strUrl, nListenPort), m_report), 1) << strUrl;
        EXPECT_EQ(g_nPassThroughMode.load(), 2);
        const CRelayParams p = PassThroughRelayParams();
        const std::string strTunnel = g_appSettings.strTunnelHost + ":" + g_appSettings.strTunnelPort;
        EXPECT_EQ(p.strRemoteHost + ":" + std::to_string(p.nRemotePort), strTunnel);
        EXPECT_EQ(strUrl.substr(0, strTunnel.size()), strTunnel);
        EXPECT_EQ("[" + p.strSubdomain + "]", strSubdomain) << strUrl;
        EXPECT_EQ(p.nListenPort, nListenPort);
        EXPECT_EQ(StopPassThrough(), 1);
        EXPECT_EQ(g_nPassThroughMode.load(), 0);
    }
}

TEST_F(PassThroughTest, BadTextsStartNothingAndAStopThenOnlySetsTheMode) {
    for (const std::string& strText :
         {std::string("{\"type\":1"), RelayDescription("127.0.0.1:4001", 0),
          RelayDescription("127.0.0.1:0", FreeLoopbackPort())}) {
        EXPECT_EQ(StartPassThrough(strText, m_report), 0) << strText;
        EXPECT_EQ(g_nPassThroughMode.load(), 0);
    }
    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 0);
    EXPECT_EQ(g_appSettings.strTunnelHost + ":" + g_appSettings.strTunnelPort, "127.0.0.1:0");
}

TEST_F(PassThroughTest, DirectModePointsThePortAtTheServerAndShakesHandsThroughIt) {
#ifdef _WIN32
    GTEST_SKIP() << "direct mode's virtual port here is a pseudo-terminal linked in the ports "
                    "folder";
#else
    tnl_fake::CFakeTunnelService service((m_dir / "run").string());
    ASSERT_TRUE(service.Start());
    const std::string strDescription = R"({"url":"127.0.0.1:4567:plant3","devicePort":"COM1"})";
    // No port appears: the user is told.
    EXPECT_EQ(StartPassThrough(strDescription, m_report), 1);
    EXPECT_EQ(m_report.errorTexts, std::vector<std::string>{"The virtual port could not be created"});

    CPty pty;
    ASSERT_TRUE(pty.Open());
    fs::create_symlink(pty.SlavePath(), m_dir / "ports" / "com7");
    std::string strRequest;
    std::thread remote([&] { strRequest = pty.AnswerHandshake("{\"State\":\"200\"}"); });
    const int nResult = StartPassThrough(strDescription, m_report);
    remote.join();
    ASSERT_EQ(nResult, 1);
    EXPECT_EQ(strRequest, SubdomainRequest("plant3"));
    EXPECT_EQ(g_nPassThroughMode.load(), 1);
    EXPECT_EQ(g_appSettings.strSerialParams, "9600,E,7,1");
    EXPECT_EQ(m_report.errorTexts.size(), 1u);
    const std::string strStartAdd = LastAdd(service);
    for (const char* szPart : {"127.0.0.1", "4567", "9600,E,7,1", "COM7"}) {
        EXPECT_NE(strStartAdd.find(szPart), std::string::npos) << szPart;
    }

    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 0);
    EXPECT_EQ(g_appSettings.strTunnelHost + ":" + g_appSettings.strTunnelPort, "localhost:5001");
    EXPECT_NE(LastAdd(service).find("5001"), std::string::npos);
#endif
}

}  // namespace
