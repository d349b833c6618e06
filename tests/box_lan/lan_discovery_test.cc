// LAN discovery: the list rules on text, and whole discoveries against the simulated box on
// networks of 127.0.6x.0/24 (local addresses always replaced by loopback ones).
#include "box/lan_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "platform/net_socket.h"
#include "tools/box_sim/box_sim.h"

namespace {

TEST(LanDiscoveryText, FoundListComparesWholeEntries) {
    const struct {
        std::string strList, strAddress, strExpected;
    } cases[] = {
        {"", "192.168.1.7", "192.168.1.7;"},
        {"192.168.1.71;", "192.168.1.7", "192.168.1.71;192.168.1.7;"},
        {"192.168.1.17;", "192.168.1.7", "192.168.1.17;192.168.1.7;"},
        {"192.168.1.7;", "192.168.1.7", "192.168.1.7;"},
        {"10.0.0.1;192.168.1.7;10.0.0.2;", "192.168.1.7", "10.0.0.1;192.168.1.7;10.0.0.2;"},
    };
    for (const auto& c : cases) {
        std::string strList = c.strList;
        EXPECT_EQ(AppendFoundBox(&strList, c.strAddress), c.strExpected != c.strList) << c.strList;
        EXPECT_EQ(strList, c.strExpected);
    }
}

TEST(LanDiscoveryText, AddressFieldsKeepStartValuesWhereTheTextStops) {
    const struct {
        const char* text;
        int nA, nB, nC, nD;
    } cases[] = {
        {"abc", 192, 168, 1, 1},         {"", 192, 168, 1, 1},
        {"10.0.5.20", 10, 0, 5, 20},     {"10.0", 10, 0, 1, 1},
        {"10.0.5.", 10, 0, 5, 1},        {"10.0x5.20", 10, 0, 1, 1},
        {" 10. -2.+3.4;", 10, -2, 3, 4}, {"1.99999999999.3.4", 1, 2147483647, 3, 4},
    };
    for (const auto& c : cases) {
        const CAddressFields fields = ParseAddressFields(c.text);
        EXPECT_EQ(FormatAddress(fields.nA, fields.nB, fields.nC, fields.nD),
                  FormatAddress(c.nA, c.nB, c.nC, c.nD))
            << c.text;
    }
}

TEST(LanDiscoveryText, BroadcastAnswersAreListedUnlessTheyAreTheOwnEcho) {
    std::string strList = "10.0.0.9;";
    EXPECT_EQ(TakeDiscoveryReply("10.0.0.9", "10.0.0.9", "GetHostName\r", &strList), "");
    EXPECT_EQ(TakeDiscoveryReply("10.0.0.9", "10.0.0.20", std::string_view("BOX\0old", 7),
                                 &strList),
              "recv : BOX, from:10.0.0.20\r\n");
    TakeDiscoveryReply("10.0.0.9", "10.0.0.20", "BOX", &strList);
    EXPECT_EQ(strList, "10.0.0.9;10.0.0.20;10.0.0.20;");
}

// Whether a UDP socket bound to a loopback address sends from that address. Wine binds such a
// socket to every address instead (its datagrams come from 127.0.0.1, and it shares the port with
// any socket bound to it), so the box's broadcast listener and its answers cannot be told from
// the program's own socket there.
bool UdpKeepsLoopbackAddresses() {
    const platform::SocketHandle from = platform::BindUdpSocket("127.0.69.1", 0);
    const platform::SocketHandle to = platform::BindUdpSocket("127.0.69.2", 0);
    std::string strSender;
    uint16_t nSenderPort = 0;
    char c = 0;
    const bool bKept =
        from != platform::kInvalidSocket && to != platform::kInvalidSocket &&
        platform::SendDatagram(from, "127.0.69.2", platform::SocketLocalPort(to), "x", 1) &&
        platform::WaitReadable(to, 5000) > 0 &&
        platform::ReceiveDatagramFrom(to, &c, 1, &strSender, &nSenderPort) == 1 &&
        strSender == "127.0.69.1";
    platform::CloseSocket(from);
    platform::CloseSocket(to);
    return bKept;
}

constexpr const char* kSharedUdpAddresses =
    "UDP sockets here do not keep a loopback address of their own (Wine binds them to every "
    "address), so the box's broadcast listener cannot be told from the program's socket";

class LanDiscoveryTest : public ::testing::Test {
  protected:
    // Longer waits than the product's, so that a busy machine still sees every answer.
    const CDiscoveryTiming timing{100, 500, 1000};

    // This machine's only address is 127.0.<nThird>.1; a sim answers the broadcast there, from
    // an address of its own or (standing in for the own echo) from 127.0.<nThird>.1.
    std::string StartSim(int nThird, bool bAnswerFromOwnAddress = false) {
        const std::string strNetwork = "127.0." + std::to_string(nThird) + ".";
        platform::SetLocalAddressesForTesting({strNetwork + "1"});
        CSimBoxConfig config;
        config.strDiscoveryAddress = strNetwork + "255";
        if (!bAnswerFromOwnAddress) return StartOnFreeLoopbackAddress(sim, config, nThird);
        config.strAddress = strNetwork + "1";
        config.nTcpPort = 0;
        return sim.Start(config) ? config.strAddress : "";
    }
    CSimBox sim;
};

TEST_F(LanDiscoveryTest, BroadcastFindsTheBoxAndTheProbeDoesNotListItAgain) {
    if (!UdpKeepsLoopbackAddresses()) GTEST_SKIP() << kSharedUdpAddresses;
    const std::string strBox = StartSim(61);
    ASSERT_FALSE(strBox.empty());
    EXPECT_EQ(DiscoverBoxes(0, "", timing), strBox + ";");
    EXPECT_EQ(sim.Datagrams(), std::vector<std::string>{"GetHostName\r"});
    EXPECT_EQ(DiscoverBoxes(1, "", timing), strBox + ";");
    EXPECT_EQ(sim.Commands(), std::vector<std::string>{"GetHostName\r"});
}

// With no box anywhere the broadcast still comes back: as the own echo, which is not listed.
TEST_F(LanDiscoveryTest, OwnEchoAndAnEmptyNetworkGiveTheEmptyList) {
    if (!UdpKeepsLoopbackAddresses()) GTEST_SKIP() << kSharedUdpAddresses;
    ASSERT_FALSE(StartSim(62, true).empty());
    EXPECT_EQ(DiscoverBoxes(1, "", timing), "");
    EXPECT_EQ(sim.Datagrams().size(), 1u);
    platform::SetLocalAddressesForTesting({});
    EXPECT_EQ(DiscoverBoxes(1, "", timing), "");
}

TEST_F(LanDiscoveryTest, SelectedAddressProbesOnlyItsNetworkWithoutBroadcast) {
    const std::string strBox = StartSim(63);
    ASSERT_FALSE(strBox.empty());
    platform::SetLocalAddressesForTesting({"127.0.64.1"});  // would be broadcast to otherwise
    EXPECT_EQ(DiscoverBoxes(0, strBox), strBox + ";");
    EXPECT_TRUE(sim.Datagrams().empty());
    EXPECT_EQ(sim.Commands(), std::vector<std::string>{"GetHostName\r"});
}

// Host 0 is never probed, 255 is, and the ranges of the four threads meet without a gap.
TEST_F(LanDiscoveryTest, ProbeCoversHostNumbersOneTo255) {
    platform::SetLocalAddressesForTesting({"127.0.66.1"});
    const char* const hosts[] = {"0", "70", "71", "255"};
    CSimBox sims[std::size(hosts)];
    for (size_t i = 0; i < std::size(hosts); ++i) {
        CSimBoxConfig config;
        config.strAddress = std::string("127.0.66.") + hosts[i];
        ASSERT_TRUE(sims[i].Start(config)) << config.strAddress;
    }
    std::string strFound = DiscoverBoxes(0, "127.0.66.9", timing);
    std::vector<std::string> entries;
    for (size_t n; (n = strFound.find(';')) != std::string::npos; strFound.erase(0, n + 1)) {
        entries.push_back(strFound.substr(0, n));
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"127.0.66.255", "127.0.66.70", "127.0.66.71"}));
}

}  // namespace
