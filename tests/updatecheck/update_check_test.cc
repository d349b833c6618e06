#include "updatecheck/update_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "platform/thread_util.h"
#include "support/browser_launch.h"
#include "support/settings.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/updatecheck/fake_servers.h"

namespace {

const std::string kHeader = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
const std::string kNewer = R"({"result":{"ver":"2.0.1"}})";
// The request for version "V1.2.3": its JSON text is 81 bytes.
const std::string kRequest =
    "POST /software/checkUpdate HTTP/1.0\r\nHost: 127.0.0.1\r\n"
    "Content-Type:application/x-www-form-urlencoded\r\nContent-Length:86\r\n"
    "Connection:close\r\n\r\ndata={\n\t\"verUpdate\" : \"1.0\",\n\t\"wareName\" : \"ORVAN Access\","
    "\n\t\"wareVersion\" : \"V1.2.3\"\n}";

class UpdateCheckTest : public testing::Test {
protected:
    UpdateCheckTest() {
        dir.WriteStrings("alert_title=Alert\ndetect_new_firmware=found\n"
                         "is_update_software=Update?\n");
        g_appSettings.strReqServer = "127.0.0.1";
        g_appSettings.nDnsPort = resolver.Port();
    }
    ~UpdateCheckTest() override { g_strBrowserPath.clear(); }

    int Check(const std::string& strServer, uint16_t nPort, std::string* pLatest) {
        g_appSettings.strReqServer = strServer;
        g_appSettings.nReqPort = nPort;
        return CheckUpdateServer(pLatest, "V1.2.3");
    }

    CTempProgramDir dir;
    // "up.test" has two addresses; every other name has none.
    CFakeResolver resolver{{{DnsName("up.test"), 1, {127, 0, 0, 2}},
                            {DnsName("up.test"), 1, {127, 0, 0, 3}}}};
    CScriptedDialogs dialogs;
};

TEST(UpdateCheckAddressTest, OnlyPlainDottedQuadsAreAddresses) {
    for (const char* sz : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "127.0.0.1"})
        EXPECT_TRUE(IsDottedIpv4(sz)) << sz;
    for (const char* sz : {"01.2.3.4", "1.2.3", "256.1.1.1", "1.2.3.4.", "1..2.3", "a.b.c.d",
                           "1.2.3.+4", " 1.2.3.4", "1.2.3.0004", "", "up.test"})
        EXPECT_FALSE(IsDottedIpv4(sz)) << sz;
}

TEST_F(UpdateCheckTest, ADottedServerGetsTheExactRequestAndItsReplyDecides) {
    const struct {
        std::string strReply;
        int nResult;
        std::string strLatest;
    } cases[] = {
        {kHeader + kNewer, 1, "2.0.1"},
        {kHeader + R"({"result":{"ver":null}})", 0, ""},
        {kHeader + R"({"result":"2.0.1"})", 0, ""},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\nServer: x\r\n\r\n" + kNewer, 0, ""},
        {"HTTP/1.1 200 OK\r\nConnection:close\r\n\r\n" + kNewer, 0, ""},
        {kHeader + std::string(5000, '['), 0, ""},
    };
    for (const auto& c : cases) {
        CFakeUpdateServer server("127.0.0.1", 0, c.strReply);
        std::string strLatest;
        EXPECT_EQ(Check("127.0.0.1", server.Port(), &strLatest), c.nResult) << c.strReply;
        EXPECT_EQ(strLatest, c.strLatest);
        EXPECT_EQ(server.LastRequest(), kRequest);
    }
    EXPECT_EQ(resolver.Queries(), 0);
}

TEST_F(UpdateCheckTest, ANamedServersAddressesAreTriedUntilOneAnswers) {
    CFakeUpdateServer third("127.0.0.3", 0, kHeader + kNewer);
    std::string strLatest;
    // 127.0.0.2 refuses: nothing listens there on that port.
    EXPECT_EQ(Check("up.test", third.Port(), &strLatest), 1);
    EXPECT_EQ(strLatest, "2.0.1");
    EXPECT_NE(third.LastRequest().find("\r\nHost: up.test\r\n"), std::string::npos);

    CFakeUpdateServer second("127.0.0.2", third.Port(), "HTTP/1.1 500 Oops\r\n\r\n");
    EXPECT_EQ(Check("up.test", third.Port(), &strLatest), 0);
    EXPECT_EQ(second.Connections(), 1);
    EXPECT_EQ(third.Connections(), 1);
    EXPECT_EQ(Check("down.test", third.Port(), &strLatest), -2);
    EXPECT_EQ(resolver.Queries(), 3);
}

TEST_F(UpdateCheckTest, TheOfferShowsBothVersionsAndYesNeedsAChosenBrowser) {
    dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"Manager V1.2.3\"/></HMISet>");
    dialogs.bMessageAnswer = false;
    {
        CFakeUpdateServer server("127.0.0.1", 0, kHeader + R"({"result":{"ver":null}})");
        g_appSettings.nReqPort = server.Port();
        EXPECT_FALSE(CheckForUpdates(dialogs));
        EXPECT_TRUE(dialogs.messages.empty());
    }
    CFakeUpdateServer server("127.0.0.1", 0, kHeader + kNewer);
    g_appSettings.nReqPort = server.Port();
    EXPECT_TRUE(CheckForUpdates(dialogs));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].strText, "V1.2.3 found 2.0.1\n\nUpdate?");
    EXPECT_EQ(dialogs.messages[0].strCaption, "Alert");
    EXPECT_EQ(dialogs.messages[0].style, MessageBoxStyle::kYesNo);

    dialogs.bMessageAnswer = true;
    EXPECT_EQ(ShowUpdateOffer(dialogs, "V1", "V2"), 0);  // no browser chosen
}

TEST_F(UpdateCheckTest, YesOpensThePageInTheChosenBrowser) {
#ifdef _WIN32
    GTEST_SKIP() << "the chosen browser is a shell script here";
#endif
    g_strBrowserPath = dir.PathOf("browser");
    dir.WriteFile("browser", "#!/bin/sh\necho \"$1\" > " + dir.PathOf("opened.tmp") + "\nmv " +
                                 dir.PathOf("opened.tmp") + " " + dir.PathOf("opened") + "\n");
    std::filesystem::permissions(g_strBrowserPath, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    g_appSettings.strReqUrl = "http://127.0.0.1/download";
    EXPECT_EQ(ShowUpdateOffer(dialogs, "V1", "V2"), 1);
    for (int i = 0; i < 500 && !dir.Exists("opened"); ++i) platform::SleepMs(10);
    EXPECT_EQ(dir.ReadFile("opened"), "http://127.0.0.1/download\n");
}

}  // namespace
