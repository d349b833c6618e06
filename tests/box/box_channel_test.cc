#include "box/box_channel.h"

#include <gtest/gtest.h>

#include "tests/fakes/scripted_box_link.h"

namespace {

struct CExchangeCase {
    const char* name;
    std::deque<std::string> receives;
    bool bExpected;
    std::string strReply;
};

class BoxChannelTest : public ::testing::Test {
protected:
    BoxChannelTest() : channel(CBoxTiming{0}) { channel.SetActiveLink(&link); }
    CScriptedBoxLink link;
    CBoxChannel channel;
};

TEST_F(BoxChannelTest, RepliesDecideTheExchange) {
    const CExchangeCase cases[] = {
        {"error", {"ERROR\r"}, false, "ERROR\r"},
        {"error without return", {"ERROR"}, true, "ERROR"},
        {"error with more", {"ERROR\rmore"}, true, "ERROR\rmore"},
        {"third attempt", {"", "", "OK\r"}, true, "OK\r"},
        {"nothing in five", {"", "", "", "", "", "late"}, false, ""},
        {"split reply: first part only", {"Mo", "de=2\r\n"}, true, "Mo"},
    };
    for (const CExchangeCase& c : cases) {
        link.receives = c.receives;
        link.strSent.clear();
        CReplyBuffer reply;
        EXPECT_EQ(channel.SendBoxCommand("GetBoxMode\r\n", &reply), c.bExpected) << c.name;
        EXPECT_EQ(reply.Text(), c.strReply) << c.name;
        EXPECT_EQ(link.strSent, "GetBoxMode\r\n") << c.name;
    }
}

TEST_F(BoxChannelTest, FullReplyStaysTerminatedAndSendFailureStopsAtOnce) {
    link.receives = {std::string(2000, 'x')};
    CReplyBuffer reply;
    EXPECT_TRUE(channel.SendBoxCommand("GetRmtSN\r\n", &reply));
    EXPECT_EQ(reply.Text().size(), kReplySize);

    link.bSendFails = true;
    link.nDrains = 0;
    EXPECT_FALSE(channel.SendBoxCommand("Light\r", nullptr));
    EXPECT_EQ(link.nDrains, 1);  // the drain before the send only
    link.bSendFails = false;
    EXPECT_TRUE(channel.SendBoxCommand("Light\r", nullptr));
}

TEST_F(BoxChannelTest, VersionQueryReadsTheLengthThenTheBody) {
    struct {
        std::deque<std::string> receives;
        bool bExpected;
        std::string strBody;
    } const cases[] = {
        {{"0012", "kernel=1.2.3"}, true, "kernel=1.2.3"},
        {{"0012", "kernel=", "1.2.3xx"}, true, "kernel=1.2.3"},  // asks only for what is missing
        {{"", "0006", "ERROR\r"}, false, "ERROR\r"},
        {{"00x9", "abc"}, false, ""},  // no digits read as 0: no body
        {{"9999", std::string(1024, 'a'), std::string(1024, 'b'), std::string(1024, 'c'),
          std::string(1024, 'd'), "more"},
         true, std::string(1024, 'a') + std::string(1024, 'b') + std::string(1024, 'c') +
                   std::string(1024, 'd')},
    };
    for (const auto& c : cases) {
        link.receives = c.receives;
        link.strSent.clear();
        CReplyBuffer reply(kLargeReplySize);
        EXPECT_EQ(channel.QueryAllVersions(&reply), c.bExpected) << c.strBody;
        EXPECT_EQ(reply.Text(), c.strBody);
        EXPECT_EQ(link.strSent, "GetAllVersion\r");
    }
}

}  // namespace
