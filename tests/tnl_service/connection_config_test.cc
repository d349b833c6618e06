#include "tnl/service/connection_config.h"

#include <gtest/gtest.h>

namespace tnl_service {
namespace {

TEST(ConnectionConfigTest, OnlyComNumbersUpTo255BecomeLowerCaseLinks) {
    const std::pair<const char*, const char*> kCases[] = {
        {"COM5", "com5"}, {"com12", "com12"}, {"Com255", "com255"}, {"COM256", ""}, {"COM0", ""},
        {"COM05", ""},    {"COM", ""},        {"COM5x", ""},        {"LPT1", ""},   {"", ""}};
    for (const auto& [szPort, szLink] : kCases)
        EXPECT_EQ(LinkNameForPort(szPort), szLink) << szPort;
}

TEST(ConnectionConfigTest, ReadsWhatTheServiceCarries) {
    CConnectionConfig config;
    ASSERT_TRUE(ParseConnection(
        "<connection><type>SERVER</type><name>a</name><port><name>COM3</name><type>Virtual</type>"
        "<settings>9600,N,8,1</settings></port><protocol><reconnect enable=\"0\" timeout=\"250\"/>"
        "<maxconnections value=\"25\"/></protocol><network><nagle enable=\"0\"/>"
        "<keepalive enable=\"1\" timeout=\"7000\" noreply=\"1000\"/><break enable=\"1\" "
        "timeout=\"60000\"/><incomeport port=\"5002\"/></network><security/></connection>",
        &config));
    EXPECT_EQ(config.eType, ETunnelType::kServer);
    EXPECT_EQ(config.strLinkName, "com3");
    EXPECT_EQ(config.strSettings, "9600,N,8,1");
    EXPECT_TRUE(config.hosts.empty());
    EXPECT_EQ(config.nIncomePort, 5002);
    EXPECT_FALSE(config.bReconnect);
    EXPECT_EQ(config.nReconnectMs, 250);
    EXPECT_TRUE(config.bNoDelay && config.bKeepAlive && config.bBreak);
    EXPECT_EQ(config.nMaxConnections, 25);
}

TEST(ConnectionConfigTest, ClientWithoutHostsGoesToLocalhost5001AndOnlyVirtualPortsAreLinked) {
    CConnectionConfig config;
    ASSERT_TRUE(
        ParseConnection("<connection><type>CLIENT</type><name>b</name><port><name>COM4"
                        "</name><type>Serial</type></port></connection>",
                        &config));
    ASSERT_EQ(config.hosts.size(), 1u);
    EXPECT_EQ(config.hosts[0].strHost, "localhost");
    EXPECT_EQ(config.hosts[0].nPort, 5001);
    EXPECT_EQ(config.strLinkName, "");
    EXPECT_TRUE(config.bReconnect);
    EXPECT_FALSE(config.bNoDelay || config.bBreak);
    EXPECT_EQ(config.nMaxConnections, 1);
}

TEST(ConnectionConfigTest, RefusesConnectionsWithoutNameOrKnownType) {
    CConnectionConfig config;
    for (const char* szText : {"<connection><type>CLIENT</type><name/></connection>",
                               "<connection><type>TCP</type><name>x</name></connection>",
                               "<connection><type>UDP</type><name>x</name>"}) {
        EXPECT_FALSE(ParseConnection(szText, &config)) << szText;
    }
}

}  // namespace
}  // namespace tnl_service
