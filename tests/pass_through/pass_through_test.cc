// The pass-through commands: the description, relay mode through the process-wide relay, and
// direct mode against the in-process tunnel service with a pseudo-terminal as the virtual port.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/program_dir.h"
#include "support/settings.h"
#include "tests/pass_through/fake_remote.h"
#include "tnl/service/fake_tunnel_service.h"
#include "tunnel/pass_through.h"

namespace {

namespace fs = std::filesystem;

class CRecordingTunnelReport final : public ITunnelReport {
public:
    void ShowStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void ShowErrorText(const std::string& text) override { errorTexts.push_back(text); }
    std::vector<std::string> statusTexts, errorTexts;
};

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

class PassThroughTest : public ::testing::Test {
protected:
    void SetUp() override {
        char szTemplate[] = "/tmp/pass_through_test.XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_dir = szTemplate;
        fs::create_directories(m_dir / "run");
        fs::create_directories(m_dir / "ports");
        fs::create_directories(m_dir / "html" / "i18n");
        std::ofstream(m_dir / "html" / "i18n" / "strings_en.properties")
            << "create_error=The virtual port could not be created\n";
        // No control program here: the service commands start nothing.
        platform::SetProgramDirectory(m_dir.string());
        setenv("TNL_RUN_DIR", (m_dir / "run").c_str(), 1);
        setenv("ZELVO_PORTS_DIR", (m_dir / "ports").c_str(), 1);
        SetTunnelWaitPercent(1);
        g_appSettings = CAppSettings{};
        g_appSettings.strVirCom = "COM7";
        g_nPassThroughMode = 0;
    }
    void TearDown() override {
        StopPassThrough();
        platform::SetProgramDirectory("");
        unsetenv("TNL_RUN_DIR");
        unsetenv("ZELVO_PORTS_DIR");
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

TEST(PassThroughDescription, ReadsEveryFormOfTheDescription) {
    struct Case {
        std::string strText;
        int nType;
        std::string strHost, strPort;
        bool bHasSubdomain;
        std::string strSubdomain;
        int nListenPort;  // -1: not given
        std::string strSerialParams;
    };
    const Case cases[] = {
        {"", 0, "127.0.0.1", "61", false, "", -1, "9600,E,7,1"},
        {"{}", 0, "", "", false, "", -1, "9600,E,7,1"},
        {R"({"type":1,"url":"127.0.0.1:9000:plant3","e_port":6000,"deviceId":"x"})", 1,
         "127.0.0.1", "9000", true, "plant3", 6000, "9600,E,7,1"},
        {R"({"TYPE":"1","Url":"localhost:81","E_PORT":"6001x"})", 1, "localhost", "81", false,
         "", 6001, "9600,E,7,1"},
        {R"({"url":"relay:82:"})", 0, "relay", "82", true, "", -1, "9600,E,7,1"},
        {R"({"url":"relay"})", 0, "relay", "", false, "", -1, "9600,E,7,1"},
        {R"({"type":2,"baudrate":"115200","check_bit":"NONE","data_length":8,"stop_bit":"2"})",
         2, "", "", false, "", -1, "115200,N,8,2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strText);
        CPassThroughRequest request;
        ASSERT_TRUE(ParsePassThroughDescription(c.strText, &request));
        EXPECT_EQ(request.nType, c.nType);
        EXPECT_EQ(request.bHasUrl, !c.strHost.empty());
        EXPECT_EQ(request.strHost, c.strHost);
        EXPECT_EQ(request.strPort, c.strPort);
        EXPECT_EQ(request.bHasSubdomain, c.bHasSubdomain);
        EXPECT_EQ(request.strSubdomain, c.strSubdomain);
        EXPECT_EQ(request.bHasListenPort ? request.nListenPort : -1, c.nListenPort);
        EXPECT_EQ(request.strSerialParams, c.strSerialParams);
    }
    CPassThroughRequest request;
    for (const std::string strBad : {"{\"type\":1", "[1]", "not json"}) {
        EXPECT_FALSE(ParsePassThroughDescription(strBad, &request)) << strBad;
    }
}

TEST_F(PassThroughTest, RelayStartsKeepTheSubdomainUntilAUrlNamesAnother) {
    const int nListenPort = FreeLoopbackPort();
    struct Step {
        std::string strUrl, strHost;
        int nRemotePort;
        std::string strSubdomain;
    };
    const Step steps[] = {{"127.0.0.1:4001", "127.0.0.1", 4001, ""},
                          {"127.0.0.1:4002:plant3", "127.0.0.1", 4002, "plant3"},
                          {"localhost:4003", "localhost", 4003, "plant3"},
                          {"127.0.0.1:4004:", "127.0.0.1", 4004, ""}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.strUrl);
        ASSERT_EQ(StartPassThrough(RelayDescription(step.strUrl, nListenPort), m_report), 1);
        EXPECT_EQ(g_nPassThroughMode.load(), 2);
        const CRelayParams params = PassThroughRelayParams();
        EXPECT_EQ(params.strRemoteHost, step.strHost);
        EXPECT_EQ(params.nRemotePort, step.nRemotePort);
        EXPECT_EQ(params.nListenPort, nListenPort);
        EXPECT_EQ(params.strSubdomain, step.strSubdomain);
        EXPECT_EQ(g_appSettings.strTunnelHost, step.strHost);
        EXPECT_EQ(g_appSettings.strTunnelPort, std::to_string(step.nRemotePort));
        EXPECT_EQ(StopPassThrough(), 1);
        EXPECT_EQ(g_nPassThroughMode.load(), 0);
    }
}

TEST_F(PassThroughTest, BadTextsAndRelaysThatCannotListenAreNotStarted) {
    for (const std::string& strText :
         {std::string("{\"type\":1"), RelayDescription("127.0.0.1:4001", 0),
          RelayDescription("127.0.0.1:0", FreeLoopbackPort())}) {
        EXPECT_EQ(StartPassThrough(strText, m_report), 0) << strText;
        EXPECT_EQ(g_nPassThroughMode.load(), 0);
    }
}

TEST_F(PassThroughTest, StopWithoutAPassThroughOnlySetsTheMode) {
    g_appSettings.strTunnelHost = "127.0.0.9";
    g_appSettings.strTunnelPort = "77";
    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 0);
    EXPECT_EQ(g_appSettings.strTunnelHost, "127.0.0.9");
    EXPECT_EQ(g_appSettings.strTunnelPort, "77");
}

TEST_F(PassThroughTest, DirectModePointsThePortAtTheServerAndShakesHandsThroughIt) {
    tnl_fake::CFakeTunnelService service((m_dir / "run").string());
    ASSERT_TRUE(service.Start());
    CPty pty;
    ASSERT_TRUE(pty.Open());
    fs::create_symlink(pty.SlavePath(), m_dir / "ports" / "com7");
    std::string strRequest;
    std::thread remote([&] { strRequest = pty.AnswerHandshake("{\"State\":\"200\"}"); });
    const int nResult =
        StartPassThrough(R"({"url":"127.0.0.1:4567:plant3","devicePort":"COM1"})", m_report);
    remote.join();
    ASSERT_EQ(nResult, 1);
    EXPECT_EQ(strRequest, "{\"Subdomain\":\"plant3\"}");
    EXPECT_EQ(g_nPassThroughMode.load(), 1);
    EXPECT_EQ(g_appSettings.strSerialParams, "9600,E,7,1");
    EXPECT_TRUE(m_report.errorTexts.empty());
    const std::string strStartAdd = LastAdd(service);
    for (const char* szPart : {"127.0.0.1", "4567", "9600,E,7,1", "COM7"}) {
        EXPECT_NE(strStartAdd.find(szPart), std::string::npos) << szPart;
    }

    EXPECT_EQ(StopPassThrough(), 1);
    EXPECT_EQ(g_nPassThroughMode.load(), 0);
    EXPECT_EQ(g_appSettings.strTunnelHost, "localhost");
    EXPECT_EQ(g_appSettings.strTunnelPort, "5001");
    const std::string strStopAdd = LastAdd(service);
    EXPECT_NE(strStopAdd, strStartAdd);
    EXPECT_NE(strStopAdd.find("5001"), std::string::npos);
}

TEST_F(PassThroughTest, DirectModeWithoutThePortReportsTheCreateError) {
    EXPECT_EQ(StartPassThrough(R"({"url":"127.0.0.1:4567:plant3","check_bit":"ODD"})",
                               m_report),
              1);
    EXPECT_EQ(g_nPassThroughMode.load(), 1);
    EXPECT_EQ(g_appSettings.strSerialParams, "9600,O,7,1");
    EXPECT_EQ(m_report.errorTexts,
              std::vector<std::string>{"The virtual port could not be created"});
}

}  // namespace
