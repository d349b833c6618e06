// The relay run in-process between local clients and a fake remote server, all on loopback.
#include <gtest/gtest.h>

#include <optional>

#include "tests/pass_through/fake_remote.h"
#include "tunnel/relay.h"

namespace {

const std::string kAccepted = "{\"Code\":1,\"State\":\"200\"}";

struct CLocalClient {
    explicit CLocalClient(uint16_t nPort) : s(platform::ConnectTcp("127.0.0.1", nPort, 5000)) {}
    ~CLocalClient() { Close(); }
    void Close() {
        platform::CloseSocket(s);
        s = platform::kInvalidSocket;
    }
    platform::SocketHandle s;
};

class RelayTest : public ::testing::Test {
protected:
    bool StartRelay(const CFakeRemote& remote, const std::string& strSubdomain) {
        m_params = {FreeLoopbackPort(), remote.Port(), "127.0.0.1", strSubdomain};
        return m_relay.Start(m_params);
    }
    CRelayParams m_params;
    CRelay m_relay;
};

TEST_F(RelayTest, CarriesBytesBothWaysAfterTheSubdomainIsAccepted) {
    struct Case {
        std::string strSubdomain;
        std::string strAnswer;
        std::vector<std::string> expectedLog;
    };
    const Case cases[] = {
        {"", "", {"accept 1", "close 1"}},
        {"plant7", kAccepted, {"accept 1", "handshake 1 {\"Subdomain\":\"plant7\"}", "close 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strSubdomain);
        CFakeRemote remote(c.strAnswer);
        ASSERT_TRUE(StartRelay(remote, c.strSubdomain));
        {
            CLocalClient client(m_params.nListenPort);
            EXPECT_EQ(RoundTrip(client.s, "hello"), "hello");
            const std::string strData = RandomBytes(1 << 20);
            EXPECT_TRUE(RoundTrip(client.s, strData) == strData);
            EXPECT_EQ(m_relay.ActivePairs(), 1);
        }
        EXPECT_TRUE(WaitUntil([&] { return m_relay.ActivePairs() == 0; }));
        EXPECT_TRUE(WaitUntil([&] { return remote.Log().size() == c.expectedLog.size(); }));
        EXPECT_EQ(remote.Log(), c.expectedLog);
        m_relay.Stop();
    }
}

TEST_F(RelayTest, ARefusedOrSilentHandshakeStartsNoPairAndClosesBothSides) {
    for (const std::string strAnswer : {"{\"State\":\"403\"}", "close"}) {
        SCOPED_TRACE(strAnswer);
        CFakeRemote remote(strAnswer);
        ASSERT_TRUE(StartRelay(remote, "plant7"));
        CLocalClient client(m_params.nListenPort);
        std::string strReceived;
        EXPECT_TRUE(ReceiveUntilClosed(client.s, &strReceived));
        EXPECT_EQ(strReceived, "");
        EXPECT_EQ(m_relay.ActivePairs(), 0);
        EXPECT_TRUE(WaitUntil([&] { return remote.Log().size() == 3; }));
        EXPECT_EQ(remote.Log().back(), "close 1");
        m_relay.Stop();
    }
}

TEST_F(RelayTest, AnUnreachableRemoteServerIsReportedToTheLocalClient) {
    const uint16_t nClosedPort = FreeLoopbackPort();
    m_params = {FreeLoopbackPort(), nClosedPort, "127.0.0.1", "plant7"};
    ASSERT_TRUE(m_relay.Start(m_params));
    CLocalClient client(m_params.nListenPort);
    std::string strReceived;
    EXPECT_TRUE(ReceiveUntilClosed(client.s, &strReceived));
    EXPECT_EQ(strReceived,
              "[SERVER]connection to 127.0.0.1:" + std::to_string(nClosedPort) + " error\r\n");
    EXPECT_EQ(m_relay.ActivePairs(), 0);
}

TEST_F(RelayTest, ASecondClientIsServedOnlyAfterTheFirstPairEnds) {
    CFakeRemote remote;
    ASSERT_TRUE(StartRelay(remote, ""));
    CLocalClient first(m_params.nListenPort);
    ASSERT_EQ(RoundTrip(first.s, "first"), "first");
    CLocalClient second(m_params.nListenPort);
    ASSERT_NE(second.s, platform::kInvalidSocket);
    EXPECT_EQ(RoundTrip(first.s, "still first"), "still first");
    EXPECT_EQ(remote.Accepted(), 1u);
    EXPECT_EQ(platform::WaitReadable(second.s, 0), 0);
    first.Close();
    EXPECT_EQ(RoundTrip(second.s, "second"), "second");
    EXPECT_EQ(remote.Accepted(), 2u);
}

TEST_F(RelayTest, StopEndsTheRelayWithoutTouchingTheRemoteServer) {
    // Waiting for a client, and with a pair running.
    for (bool bWithPair : {false, true}) {
        SCOPED_TRACE(bWithPair);
        CFakeRemote remote;
        ASSERT_TRUE(StartRelay(remote, ""));
        std::optional<CLocalClient> client;
        if (bWithPair) {
            client.emplace(m_params.nListenPort);
            ASSERT_EQ(RoundTrip(client->s, "x"), "x");
        }
        m_relay.Stop();
        EXPECT_EQ(m_relay.ActivePairs(), 0);
        EXPECT_EQ(remote.Accepted(), bWithPair ? 1u : 0u);
        EXPECT_EQ(platform::ConnectTcp("127.0.0.1", m_params.nListenPort, 5000),
                  platform::kInvalidSocket);
        std::string strReceived;
        if (client) {
            EXPECT_TRUE(ReceiveUntilClosed(client->s, &strReceived));
        }
    }
}

TEST_F(RelayTest, PortsOutsideTheRangeAreRefused) {
    for (const CRelayParams& params : {CRelayParams{0, 80, "127.0.0.1", ""},
                                       CRelayParams{65536, 80, "127.0.0.1", ""},
                                       CRelayParams{8080, 0, "127.0.0.1", ""}}) {
        EXPECT_FALSE(m_relay.Start(params)) << params.nListenPort << " " << params.nRemotePort;
    }
}

TEST(RelayHandshake, TheAcceptedStateMayStandAnywhereInTheReply) {
    EXPECT_EQ(SubdomainRequest("a-b"), "{\"Subdomain\":\"a-b\"}");
    for (const auto& [strReply, bAccepted] :
         std::vector<std::pair<std::string, bool>>{{"{\"State\":\"200\"}", true},
                                                   {"x{\"Id\":3,\"State\":\"200\",\"M\":0}", true},
                                                   {"{\"State\": \"200\"}", false},
                                                   {"{\"State\":\"2000\"}", false},
                                                   {"{\"State\":200}", false}}) {
        EXPECT_EQ(IsSubdomainAccepted(strReply.data(), strReply.size()), bAccepted) << strReply;
    }
}

}  // namespace
