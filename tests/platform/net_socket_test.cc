#include "platform/net_socket.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/net_socket_local.h"
#include "tests/fakes/test_env.h"

namespace platform {
namespace {

const char kLoopback[] = "127.0.0.1";

// A listener on a free loopback port, a client connected to it and the accepted end.
struct CTcpPair {
    CTcpPair() {
        listener = ListenTcp(kLoopback, 0, 4);
        client = ConnectTcp(kLoopback, SocketLocalPort(listener), 5000);
        server = AcceptConnection(listener);
    }
    ~CTcpPair() {
        for (SocketHandle s : {client, server, listener}) CloseSocket(s);
    }
    SocketHandle listener, client, server;
};

TEST(NetSocketTest, TcpStreamCarriesBytesAndReportsTimeOutAndClose) {
    CTcpPair pair;
    ASSERT_NE(pair.server, kInvalidSocket);
    EXPECT_EQ(WaitReadable(pair.server, 0), 0);
    ASSERT_TRUE(SetSocketTimeouts(pair.server, 50, 50));
    char buffer[4096];
    EXPECT_EQ(SocketReceive(pair.server, buffer, sizeof(buffer)), -1) << "receive time-out";

    std::string sent;
    for (int i = 0; i < 300000; ++i) sent += static_cast<char>(i % 251);
    std::thread sender([&] { EXPECT_TRUE(SocketSendAll(pair.client, sent.data(), sent.size())); });
    std::string received;
    while (received.size() < sent.size() && WaitReadable(pair.server, 5000) == 1) {
        const long n = SocketReceive(pair.server, buffer, sizeof(buffer));
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
    }
    sender.join();
    EXPECT_EQ(received, sent);

    EXPECT_EQ(SocketSend(pair.server, "ok", 2), 2);
    ASSERT_EQ(SocketReceive(pair.client, buffer, 2), 2);
    CloseSocket(pair.client);
    pair.client = kInvalidSocket;
    EXPECT_EQ(WaitReadable(pair.server, 5000), 1);
    EXPECT_EQ(SocketReceive(pair.server, buffer, sizeof(buffer)), 0) << "peer closed";
}

TEST(NetSocketTest, FailuresGiveInvalidSocketsAndFalse) {
    const SocketHandle closed = ListenTcp(kLoopback, 0, 1);
    const uint16_t nClosedPort = SocketLocalPort(closed);
    CloseSocket(closed);
    EXPECT_EQ(ConnectTcp(kLoopback, nClosedPort, 5000), kInvalidSocket) << "refused";
    for (const char* szAddress : {"not-an-address", "127.0.0", "", "300.1.1.1"}) {
        EXPECT_EQ(ConnectTcp(szAddress, 80, 100), kInvalidSocket) << szAddress;
        EXPECT_EQ(ListenTcp(szAddress, 0, 1), kInvalidSocket) << szAddress;
        EXPECT_EQ(BindUdpSocket(szAddress, 0), kInvalidSocket) << szAddress;
    }
    EXPECT_EQ(SocketLocalPort(kInvalidSocket), 0);
    EXPECT_NE(LastSocketError(), 0);
    CloseSocket(kInvalidSocket);
    ShutdownSocket(kInvalidSocket);
}

TEST(NetSocketTest, ShutdownEndsAWaitingAccept) {
    const SocketHandle listener = ListenTcp(kLoopback, 0, 1);
    ASSERT_NE(listener, kInvalidSocket);
    SocketHandle accepted = 0;
    std::thread waiter([&] { accepted = AcceptConnection(listener); });
    ShutdownSocket(listener);
    waiter.join();
    EXPECT_EQ(accepted, kInvalidSocket);
    CloseSocket(listener);
}

TEST(NetSocketTest, DatagramsCarryTheirSender) {
    const SocketHandle bound = BindUdpSocket(kLoopback, 0);
    const SocketHandle query = OpenQuerySocket();
    const SocketHandle broadcast = OpenBroadcastSocket(0, 65536);
    ASSERT_NE(bound, kInvalidSocket);
    ASSERT_NE(query, kInvalidSocket);
    EXPECT_NE(broadcast, kInvalidSocket);
    EXPECT_EQ(WaitWritable(query, 5000), 1);
    ASSERT_TRUE(SendDatagram(query, kLoopback, SocketLocalPort(bound), "ping", 4));
    EXPECT_FALSE(SendDatagram(query, "no-address", 1, "x", 1));
    char buffer[16];
    std::string strSender;
    uint16_t nSenderPort = 0;
    ASSERT_EQ(WaitReadable(bound, 5000), 1);
    ASSERT_EQ(ReceiveDatagramFrom(bound, buffer, sizeof(buffer), &strSender, &nSenderPort), 4);
    EXPECT_EQ(std::string(buffer, 4), "ping");
    EXPECT_EQ(strSender, kLoopback);
    EXPECT_EQ(nSenderPort, SocketLocalPort(query));
    ASSERT_TRUE(SendDatagram(bound, strSender, nSenderPort, "pong!", 5));
    ASSERT_EQ(WaitReadable(query, 5000), 1);
    EXPECT_EQ(ReceiveDatagram(query, buffer, sizeof(buffer), &strSender), 5);
    EXPECT_EQ(ReceiveDatagram(query, buffer, sizeof(buffer), &strSender), -1) << "none waiting";
    for (SocketHandle s : {bound, query, broadcast}) CloseSocket(s);
}

TEST(NetSocketTest, PairWaitReportsWhatEachSocketIsReadyFor) {
    CTcpPair pair;
    ASSERT_NE(pair.server, kInvalidSocket);
    CSocketWait client{pair.client, kSocketReadable | kSocketWritable};
    CSocketWait server{pair.server, kSocketReadable};
    ASSERT_EQ(WaitSocketPair(&client, &server, 5000), 1);
    EXPECT_EQ(client.nReady, kSocketWritable);
    EXPECT_EQ(server.nReady, 0u);

    // Sending without waiting stops at a full buffer: the client is then not writable.
    const std::string chunk(65536, 'x');
    long n = 1;
    for (int i = 0; i < 100000 && n > 0; ++i) {
        n = SocketSendNow(pair.client, chunk.data(), chunk.size());
    }
    EXPECT_EQ(n, 0);
    client.nWant = kSocketWritable;
    ASSERT_EQ(WaitSocketPair(&client, &server, 5000), 1);
    EXPECT_EQ(client.nReady, 0u);
    EXPECT_EQ(server.nReady, kSocketReadable);
    client.nWant = server.nWant = 0;
    EXPECT_EQ(WaitSocketPair(&client, &server, 0), 0);
}

TEST(NetSocketTest, LocalAddressesComeFromTheOverridesBeforeTheSystem) {
    for (const std::string& address : SystemIpv4Addresses()) {
        EXPECT_FALSE(address.starts_with("127.")) << address;
    }
    {
        CScopedVariable variable("ZELVO_LOCAL_ADDRESSES", " 127.0.0.2 ;127.0.0.3,,");
        EXPECT_EQ(GetLocalIpv4Addresses(), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
        SetLocalAddressesForTesting({"127.0.0.4"});
        EXPECT_EQ(GetLocalIpv4Addresses(), std::vector<std::string>{"127.0.0.4"});
    }
    SetLocalAddressesForTesting({kLoopback});
}

}  // namespace
}  // namespace platform
