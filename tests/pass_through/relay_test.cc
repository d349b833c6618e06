// The relay run in-process between local clients and a fake remote server, all on loopback.
#include <gtest/gtest.h>

#include <optional>

#include "tests/pass_through/loopback_client.h"
#include "tools/box_sim/sim_pass_server.h"
#include "tunnel/relay.h"

namespace {

struct CLocalClient {
    explicit CLocalClient(int nPort)
        : s(platform::ConnectTcp("127.0.0.1", static_cast<uint16_t>(nPort), 5000)) {}
    ~CLocalClient() { platform::CloseSocket(s); }
    platform::SocketHandle s;
};

class RelayTest : public ::testing::Test {
protected:
    bool StartRelay(int nRemotePort, const std::string& strSubdomain) {
        m_params = {FreeLoopbackPort(), nRemotePort, "127.0.0.1", strSubdomain};
        return m_relay.Start(m_params);
    }
    std::string ReceiveUntilClosedFromNewClient() {
        CLocalClient client(m_params.nListenPort);
        std::string strReceived;
        EXPECT_TRUE(ReceiveUntilClosed(client.s, &strReceived));
        return strReceived;
    }
    CRelayParams m_params;
    CRelay m_relay;
};

TEST_F(RelayTest, CarriesBytesBothWaysAfterTheSubdomainIsAccepted) {
    for (const std::string strSubdomain : {"", "plant7"}) {
        SCOPED_TRACE(strSubdomain);
        CSimPassServer remote("{\"Code\":1,\"State\":\"200\"}");
        ASSERT_TRUE(remote.Start("127.0.0.1", 0));
        ASSERT_TRUE(StartRelay(remote.Port(), strSubdomain));
        {
            CLocalClient client(m_params.nListenPort);
            EXPECT_EQ(RoundTrip(client.s, "hello"), "hello");
            const std::string strData = RandomBytes(1 << 20);
            EXPECT_TRUE(RoundTrip(client.s, strData) == strData);
            EXPECT_EQ(m_relay.ActivePairs(), 1);
        }
        EXPECT_TRUE(WaitUntil([&] { return remote.Closed() == 1; }));
        EXPECT_EQ(remote.Handshakes(), strSubdomain.empty()
                                           ? std::vector<std::string>{}
                                           : std::vector<std::string>{SubdomainRequest("plant7")});
        m_relay.Stop();
    }
}

TEST_F(RelayTest, ARefusedOrSilentHandshakeStartsNoPairAndClosesBothSides) {
    for (const char* szAnswer : {"{\"State\":\"403\"}", "close"}) {
        SCOPED_TRACE(szAnswer);
        CSimPassServer remote(szAnswer);
        ASSERT_TRUE(remote.Start("127.0.0.1", 0));
        ASSERT_TRUE(StartRelay(remote.Port(), "plant7"));
        EXPECT_EQ(ReceiveUntilClosedFromNewClient(), "");
        EXPECT_EQ(m_relay.ActivePairs(), 0);
        EXPECT_TRUE(WaitUntil([&] { return remote.Closed() == 1; }));
        m_relay.Stop();
    }
}

TEST_F(RelayTest, AnUnreachableRemoteServerIsReportedToTheLocalClient) {
    const int nClosedPort = FreeLoopbackPort();
    ASSERT_TRUE(StartRelay(nClosedPort, "plant7"));
    EXPECT_EQ(ReceiveUntilClosedFromNewClient(),
              "[SERVER]connection to 127.0.0.1:" + std::to_string(nClosedPort) + " error\r\n");
}

TEST_F(RelayTest, ASecondClientIsServedOnlyAfterTheFirstPairEnds) {
    CSimPassServer remote;
    ASSERT_TRUE(remote.Start("127.0.0.1", 0));
    ASSERT_TRUE(StartRelay(remote.Port(), ""));
    std::optional<CLocalClient> first(m_params.nListenPort);
    ASSERT_EQ(RoundTrip(first->s, "first"), "first");
    CLocalClient second(m_params.nListenPort);
    ASSERT_EQ(platform::SocketSend(second.s, "2", 1), 1);
    EXPECT_EQ(RoundTrip(first->s, "still first"), "still first");
    EXPECT_EQ(remote.Accepted(), 1);
    EXPECT_EQ(platform::WaitReadable(second.s, 0), 0);
    first.reset();
    EXPECT_EQ(RoundTrip(second.s, "nd", 3), "2nd");
    EXPECT_EQ(remote.Accepted(), 2);
}

TEST_F(RelayTest, StopEndsTheRelayWithoutTouchingTheRemoteServer) {
    // Waiting for a client, and with a pair running.
    for (bool bWithPair : {false, true}) {
        SCOPED_TRACE(bWithPair);
        CSimPassServer remote;
    ASSERT_TRUE(remote.Start("127.0.0.1", 0));
        ASSERT_TRUE(StartRelay(remote.Port(), ""));
        std::optional<CLocalClient> client;
        if (bWithPair) {
            client.emplace(m_params.nListenPort);
            ASSERT_EQ(RoundTrip(client->s, "x"), "x");
        }
        m_relay.Stop();
        EXPECT_EQ(m_relay.ActivePairs(), 0);
        EXPECT_EQ(remote.Accepted(), bWithPair ? 1 : 0);
        EXPECT_EQ(platform::ConnectTcp("127.0.0.1", m_params.nListenPort, 5000),
                  platform::kInvalidSocket);
        std::string strReceived;
        EXPECT_TRUE(!client || ReceiveUntilClosed(client->s, &strReceived));
    }
}

}  // namespace
