// The simulated box as the program meets it: raw TCP clients and a USB report stream on a socket
// pair, on addresses 127.0.77.x.
#include "tools/box_sim/box_sim.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/box_sim/sim_socket.h"

namespace {

constexpr int kThird = 77;
constexpr int kWaitMs = 5000;  // bound of every wait for the sim; never reached when it works

// A TCP client of the box; -1 when the connection was refused.
int Connect(const std::string& strAddress) {
    sockaddr_in address;
    MakeSimAddress(strAddress, 8769, &address);
    int nSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        return nSocket;
    }
    close(nSocket);
    return -1;
}

// Exactly n bytes, or what came before the peer closed or went quiet.
std::string ReadBytes(int nSocket, size_t n) {
    std::string strBytes;
    char buffer[4096];
    while (strBytes.size() < n && WaitSimReadable(nSocket, kWaitMs) > 0) {
        ssize_t nRead = recv(nSocket, buffer, std::min(sizeof(buffer), n - strBytes.size()), 0);
        if (nRead <= 0) break;
        strBytes.append(buffer, static_cast<size_t>(nRead));
    }
    return strBytes;
}

void SendText(int nSocket, const std::string& text) {
    ASSERT_EQ(send(nSocket, text.data(), text.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(text.size()));
}

class BoxSimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, usb), 0);
        CSimBoxConfig config;
        config.nUsbFd = usb[1];
        config.nRestartMs = 1000;
        strAddress = StartOnFreeLoopbackAddress(box, config, kThird);
        ASSERT_FALSE(strAddress.empty());
        nClient = Connect(strAddress);
        ASSERT_GE(nClient, 0);
    }
    void TearDown() override {
        if (nClient >= 0) close(nClient);
        close(usb[0]);
    }

    // Writes data as the program's HID writes do: 1025-byte reports, report number 0; the bytes
    // after a short last chunk are what the previous chunk left there.
    void WriteUsb(const std::string& data) {
        std::string report(1025, '\0');
        for (size_t nOffset = 0; nOffset < data.size(); nOffset += 1024) {
            std::string strChunk = data.substr(nOffset, 1024);
            report.replace(1, strChunk.size(), strChunk);
            ASSERT_EQ(send(usb[0], report.data(), report.size(), 0), 1025);
        }
    }
    // One report from the box; "" when none came within nMs.
    std::string ReadUsb(int nMs = kWaitMs) {
        char report[2048];
        if (WaitSimReadable(usb[0], nMs) <= 0) return "";
        ssize_t nRead = recv(usb[0], report, sizeof(report), 0);
        return std::string(report, static_cast<size_t>(std::max<ssize_t>(nRead, 0)));
    }
    static std::string Padded(const std::string& text) {
        return text + std::string(1024 - text.size(), '\0');
    }

    CSimBox box;
    int usb[2] = {-1, -1};
    std::string strAddress;
    int nClient = -1;
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
    for (const char* szArguments : {" --address 10.0.0.20", " --discovery-address 192.168.1.255"}) {
        int nStatus =
            std::system((std::string(BOX_SIM_PROGRAM) + szArguments + " 2>/dev/null").c_str());
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 2) << szArguments;
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
        SendText(nClient, c.szCommand);
        EXPECT_EQ(ReadBytes(nClient, strlen(c.szReply)), c.szReply) << c.szCommand;
        strSent += c.szCommand;
    }
    EXPECT_EQ(box.Received(), strSent);
    auto lock = box.Lock();
    EXPECT_EQ(box.State().strClock, "2026-01-02 03:04:05");
}

// Over USB every chunk of a split answer is a report of its own, so the split is seen exactly.
TEST_F(BoxSimTest, SplitRepliesArriveInTheirPieces) {
    box.SetReply("GetHMIType", {"ZEL", "VO"}, 10);
    box.SetFault("GetRmtSN", SimFault::kSplit, 4);
    WriteUsb("GetHMIType\r");
    EXPECT_EQ(ReadUsb(), Padded("ZEL"));
    EXPECT_EQ(ReadUsb(), Padded("VO"));
    WriteUsb("GetRmtSN\r\n");
    for (const char* szPiece : {"ZB10", "0-20", "26-0", "0012", "3"})
        EXPECT_EQ(ReadUsb(), Padded(szPiece));
    SendText(nClient, "GetRmtSN\r\n");
    EXPECT_EQ(ReadBytes(nClient, 17), "ZB100-2026-000123");
    // A bare word matches that command only.
    box.SetReply("TestNetwork", {"text"});
    SendText(nClient, "TestNetworkJson\r\n");
    EXPECT_EQ(ReadBytes(nClient, 1), "{");
}

TEST_F(BoxSimTest, ResetMakesTheBoxUnreachableUntilItIsBack) {
    SendText(nClient, "reset\r");
    EXPECT_EQ(ReadBytes(nClient, 100), "OK\r");  // and then the connection closes
    ASSERT_TRUE(box.IsRestarting());
    int nDuring = Connect(strAddress);
    if (nDuring >= 0) {  // accepted just before the listener closed: it answers nothing
        SendText(nDuring, "GetHMIType\r");
        EXPECT_EQ(ReadBytes(nDuring, 100), "");
        close(nDuring);
    }
    WriteUsb("GetHMIType\r");
    EXPECT_EQ(ReadUsb(300), "");
    ASSERT_TRUE(box.IsRestarting()) << "the checks above must fall inside the restart";
    int nAfter = -1;
    for (int i = 0; i < kWaitMs / 20 && nAfter < 0; ++i) {
        usleep(20000);
        nAfter = Connect(strAddress);
    }
    ASSERT_GE(nAfter, 0);
    SendText(nAfter, "GetHMIType\r");
    EXPECT_EQ(ReadBytes(nAfter, 10), "ZELVO-B100");
    close(nAfter);
    auto lock = box.Lock();
    EXPECT_EQ(box.State().nRestartCount, 1);
}

TEST_F(BoxSimTest, VersionLengthAndBodyComeInReportsOfTheirOwn) {
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
    SendText(nClient, "Upload cloudprj.zcpj \r");
    EXPECT_EQ(ReadBytes(nClient, 12), "UpLoadStat:1");
    SendText(nClient, "Upload setup.xml \r");
    EXPECT_EQ(ReadBytes(nClient, 12), "UpLoadStat:2");
    SendText(nClient, "Upload cloudprj.zcpj pw\r");
    EXPECT_EQ(ReadBytes(nClient, 12), "UpLoadStat:0");
    EXPECT_EQ(ReadBytes(nClient, 44), SimTransferHeader(data));
    EXPECT_EQ(ReadBytes(nClient, data.size()), data);
    // Closing mid-transfer: the data stops short and the connection ends.
    box.SetFault("Upload", SimFault::kCloseMidTransfer, 100);
    SendText(nClient, "Upload cloudprj.zcpj pw\r");
    EXPECT_EQ(ReadBytes(nClient, 1000).size(), 12u + 44u + 100u);
}

}  // namespace
