// The simulated box as the program meets it: raw TCP clients and a USB report stream on a socket
// pair (where the system has one), on addresses 127.0.77.x.
#include "tools/box_sim/box_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/net_socket.h"
#include "platform/process.h"
#include "tools/box_sim/sim_usb_pair.h"

namespace {

using platform::SocketHandle;

constexpr int kThird = 77;
constexpr unsigned kWaitMs = 5000;  // bound of every wait for the sim; never reached when it works

// A TCP client of the box; kInvalidSocket when the connection was refused.
SocketHandle Connect(const std::string& strAddress) {
    return platform::ConnectTcp(strAddress, 8769, kWaitMs);
}

// Exactly n bytes, or what came before the peer closed or went quiet.
std::string ReadBytes(SocketHandle s, size_t n) {
    std::string strBytes;
    char buffer[4096];
    while (strBytes.size() < n && platform::WaitReadable(s, kWaitMs) > 0) {
        const long nRead =
            platform::SocketReceive(s, buffer, std::min(sizeof(buffer), n - strBytes.size()));
        if (nRead <= 0) break;
        strBytes.append(buffer, static_cast<size_t>(nRead));
    }
    return strBytes;
}

void SendText(SocketHandle s, const std::string& text) {
    ASSERT_TRUE(platform::SocketSendAll(s, text.data(), text.size()));
}

// The answer of one connection to one command; "" when it was refused or closed unanswered.
std::string AskOnce(const std::string& strAddress, const std::string& strCommand, size_t n) {
    const SocketHandle s = Connect(strAddress);
    if (s == platform::kInvalidSocket) return "";
    std::string strAnswer;
    if (platform::SocketSendAll(s, strCommand.data(), strCommand.size())) {
        strAnswer = ReadBytes(s, n);
    }
    platform::CloseSocket(s);
    return strAnswer;
}

class BoxSimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CSimBoxConfig config;
        config.nUsbFd = usb.BoxEnd();
        config.nRestartMs = 1000;
        strAddress = StartOnFreeLoopbackAddress(box, config, kThird);
        ASSERT_FALSE(strAddress.empty());
        client = Connect(strAddress);
        ASSERT_NE(client, platform::kInvalidSocket);
    }
    void TearDown() override { platform::CloseSocket(client); }

    // Writes data as the program's HID writes do: 1025-byte reports, report number 0; the bytes
    // after a short last chunk are what the previous chunk left there.
    void WriteUsb(const std::string& data) {
        std::string report(1025, '\0');
        for (size_t nOffset = 0; nOffset < data.size(); nOffset += 1024) {
            std::string strChunk = data.substr(nOffset, 1024);
            report.replace(1, strChunk.size(), strChunk);
            ASSERT_TRUE(usb.Send(SimUsbEnd::kHost, report));
        }
    }
    // One report from the box; "" when none came within nMs.
    std::string ReadUsb(unsigned nMs = kWaitMs) { return usb.Receive(SimUsbEnd::kHost, nMs); }
    static std::string Padded(const std::string& text) {
        return text + std::string(1024 - text.size(), '\0');
    }

    CSimUsbPair usb;  // outlives the sim that serves it
    CSimBox box;
    std::string strAddress;
    SocketHandle client = platform::kInvalidSocket;
};

TEST(BoxSimStart, RefusesAddressesOutsideLoopback) {
    const struct {
        const char* szAddress;
        const char* szDiscovery;
    } cases[] = {{"10.0.0.20", ""},
                 {"192.168.1.20", ""},
                 {"127.0.77.9", "192.168.1.255"},
                 {"localhost", ""},
                 {"127.1", ""}};
    for (const auto& c : cases) {
        CSimBox box;
        CSimBoxConfig config;
        config.strAddress = c.szAddress;
        config.strDiscoveryAddress = c.szDiscovery;
        EXPECT_FALSE(box.Start(config)) << c.szAddress << " " << c.szDiscovery;
    }
    for (const char* szOption : {"--address", "--discovery-address"}) {
        const platform::CSpawnRequest request{BOX_SIM_PROGRAM, {szOption, "192.168.1.20"}, {}, {}};
        EXPECT_EQ(platform::RunAndWait(request), 2) << szOption;
    }
}

// The replies the program's tests do not already see: a zone that did not change, an unknown
// command. Every byte sent is on record.
TEST_F(BoxSimTest, AnswersCommandsOverTcpAndRecordsEveryByte) {
    const struct {
        const char* szCommand;
        const char* szReply;
    } cases[] = {
        {"SetTZ UTC+1\r", "OK\r"},
        {"SetTZ UTC+1\r", "END\r"},
        {"Bogus\r", "ERROR\r"},
        {"SetTime 2026-01-02 03:04:05\r", "OK\r"},
    };
    std::string strSent;
    for (const auto& c : cases) {
        SendText(client, c.szCommand);
        EXPECT_EQ(ReadBytes(client, strlen(c.szReply)), c.szReply) << c.szCommand;
        strSent += c.szCommand;
    }
    EXPECT_EQ(box.Received(), strSent);
    auto lock = box.Lock();
    EXPECT_EQ(box.State().strClock, "2026-01-02 03:04:05");
}

// Over TCP a split answer arrives as one stream; a scripted bare word matches that command only.
TEST_F(BoxSimTest, SplitRepliesOverTcpArriveWhole) {
    box.SetFault("GetRmtSN", SimFault::kSplit, 4);
    SendText(client, "GetRmtSN\r\n");
    EXPECT_EQ(ReadBytes(client, 17), "ZB100-2026-000123");
    box.SetReply("TestNetwork", {"text"});
    SendText(client, "TestNetworkJson\r\n");
    EXPECT_EQ(ReadBytes(client, 1), "{");
}

// Over USB every chunk of a split answer is a report of its own, so the split is seen exactly.
TEST_F(BoxSimTest, SplitRepliesOverUsbArriveInTheirPieces) {
    if (!usb.IsOpen()) GTEST_SKIP() << kSimUsbMissing;
    box.SetReply("GetHMIType", {"ZEL", "VO"}, 10);
    box.SetFault("GetRmtSN", SimFault::kSplit, 4);
    WriteUsb("GetHMIType\r");
    EXPECT_EQ(ReadUsb(), Padded("ZEL"));
    EXPECT_EQ(ReadUsb(), Padded("VO"));
    WriteUsb("GetRmtSN\r\n");
    for (const char* szPiece : {"ZB10", "0-20", "26-0", "0012", "3"})
        EXPECT_EQ(ReadUsb(), Padded(szPiece));
}

// A connection accepted in the restart window (just before the listener stopped, or on Windows,
// where a listener cannot stop, at any time) is closed unanswered.
TEST_F(BoxSimTest, ResetMakesTheBoxUnreachableUntilItIsBack) {
    SendText(client, "reset\r");
    EXPECT_EQ(ReadBytes(client, 100), "OK\r");  // and then the connection closes
    ASSERT_TRUE(box.IsRestarting());
    EXPECT_EQ(AskOnce(strAddress, "GetHMIType\r", 100), "");
    if (usb.IsOpen()) {
        WriteUsb("GetHMIType\r");
        EXPECT_EQ(ReadUsb(300), "");
    }
    ASSERT_TRUE(box.IsRestarting()) << "the checks above must fall inside the restart";
    std::string strAnswer;
    for (unsigned nWaited = 0; nWaited < kWaitMs && strAnswer.empty(); nWaited += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        strAnswer = AskOnce(strAddress, "GetHMIType\r", 10);
    }
    EXPECT_EQ(strAnswer, "ZELVO-B100");
    auto lock = box.Lock();
    EXPECT_EQ(box.State().nRestartCount, 1);
}

TEST_F(BoxSimTest, VersionLengthAndBodyComeInReportsOfTheirOwn) {
    if (!usb.IsOpen()) GTEST_SKIP() << kSimUsbMissing;
    for (size_t nBody : {43u, 1500u}) {
        std::string strBody(nBody, 'v');
        {
            auto lock = box.Lock();
            box.State().strVersions = strBody;
        }
        WriteUsb("GetAllVersion\r");
        char szLength[16];
        snprintf(szLength, sizeof(szLength), "%04zu", nBody);
        EXPECT_EQ(ReadUsb(), Padded(szLength));
        std::string strReceived;
        for (size_t n = 0; n < nBody; n += 1024) strReceived += ReadUsb();
        EXPECT_EQ(strReceived, Padded(strBody.substr(0, 1024)) +
                                   (nBody > 1024 ? Padded(strBody.substr(1024)) : ""));
    }
    EXPECT_EQ(box.UsbReports().size(), 2u);
    EXPECT_EQ(box.Received(), "GetAllVersion\rGetAllVersion\r");
}

// Over USB the last report of the data carries leftovers of the one before; only the header's
// size counts. A digest that does not match is refused and nothing is stored.
TEST_F(BoxSimTest, DownloadOverUsbKeepsTheFileWhenItsDigestMatches) {
    if (!usb.IsOpen()) GTEST_SKIP() << kSimUsbMissing;
    std::string data;
    for (int i = 0; i < 2500; ++i) data += static_cast<char>('a' + i % 26);
    const struct {
        std::string strHeader;
        std::vector<std::string> answers;
    } cases[] = {
        {SimTransferHeader(data + "x").substr(0, 40) + SimTransferHeader(data).substr(40),
         {"ERROR\r", "ERROR\r"}},
        {SimTransferHeader(data), {"okok!\r", "okok!\r", "okokok!"}},
    };
    for (const auto& c : cases) {
        {
            auto lock = box.Lock();
            box.State().files.clear();
        }
        WriteUsb("Download update\r");
        EXPECT_EQ(ReadUsb(), Padded("OK\r"));
        WriteUsb(c.strHeader);
        WriteUsb(data);
        for (const std::string& answer : c.answers) EXPECT_EQ(ReadUsb(), Padded(answer));
        auto lock = box.Lock();
        EXPECT_EQ(box.State().files.count("update"), c.answers.size() == 3 ? 1u : 0u);
    }
    auto lock = box.Lock();
    EXPECT_EQ(box.State().files["update"], data);
    EXPECT_EQ(box.State().firmwareImages, std::vector<std::string>{"update"});
}

TEST_F(BoxSimTest, UploadOverTcpSendsStatusHeaderAndFile) {
    const std::string data(102401, 'd');
    {
        auto lock = box.Lock();
        box.State().files["cloudprj.zcpj"] = data;
        box.State().uploadPasswords["cloudprj.zcpj"] = "pw";
    }
    SendText(client, "Upload cloudprj.zcpj \r");
    EXPECT_EQ(ReadBytes(client, 12), "UpLoadStat:1");
    SendText(client, "Upload setup.xml \r");
    EXPECT_EQ(ReadBytes(client, 12), "UpLoadStat:2");
    SendText(client, "Upload cloudprj.zcpj pw\r");
    EXPECT_EQ(ReadBytes(client, 12), "UpLoadStat:0");
    EXPECT_EQ(ReadBytes(client, 44), SimTransferHeader(data));
    EXPECT_EQ(ReadBytes(client, data.size()), data);
    // Closing mid-transfer: the data stops short and the connection ends.
    box.SetFault("Upload", SimFault::kCloseMidTransfer, 100);
    SendText(client, "Upload cloudprj.zcpj pw\r");
    EXPECT_EQ(ReadBytes(client, 1000).size(), 12u + 44u + 100u);
}

}  // namespace
