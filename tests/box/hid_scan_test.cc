#include "box/hid_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/file_system.h"
#include "tests/fakes/fake_hid_tree.h"
#include "tools/box_sim/sim_usb_pair.h"

namespace {

const char kBoxOnHub[] = "pci0000:00/0000:00:14.0/usb1/1-4/1-4.2/1-4.2:1.0";

TEST(UsbLocationText, PortFirstThenHubFromEitherSystemsName) {
    // clang-format off
    const std::pair<std::string, std::string> kCases[] = {
        {"1-4.2", "USB(2)HUB(1)"}, {"3-1", "USB(1)HUB(3)"}, {"2-1.10.7", "USB(7)HUB(2)"},
        {"usb1", ""},              {"1-4.2:1.0", ""},     {"1-", ""},
        {"-1", ""},                {"1-4..2", ""},        {"1-99999999999", ""},
        {"USB\\VID_0525&PID_A4AD\\6&2B3C4D5E&0&3", "USB(3)HUB(6)"},
        {"USB\\VID_0525&PID_A4AD\\6&2B3C", ""},  {"USB\\VID_0525&PID_A4AD\\12", ""},
    };
    // clang-format on
    for (const auto& [name, location] : kCases) EXPECT_EQ(UsbLocationText(name), location) << name;
}

TEST(HidScanFind, FindsOnlyLocatedBoxesAndTheLastOneWins) {
    if (!SimUsbAvailable()) GTEST_SKIP() << kSimUsbMissing;
    struct CCase {
        const char* szName;
        std::vector<CFakeNode> nodes;
        int nFound;
        std::string strLocation, strPath;  // path below the tree
    };
    const CCase kCases[] = {
        {"other product", {{0, kBoxOnHub, 0x0525, 0xA4AE}}, 0, "", ""},
        {"no usb parent", {{0, "virtual/misc/uhid", 0x0525, 0xA4AD}}, 0, "", ""},
        {"box on a hub", {{0, kBoxOnHub, 0x0525, 0xA4AD}}, 1, "USB(2)HUB(1)", "dev/hidraw0"},
        {"last by node number",
         {{10, "pci0000:00/usb3/3-1/3-1:1.0", 0x0525, 0xA4AD},
          {1, "pci0000:00/usb1/1-2/1-2:1.0", 0x046D, 0xC52B},
          {2, kBoxOnHub, 0x0525, 0xA4AD}},
         1,
         "USB(1)HUB(3)",
         "dev/hidraw10"},
    };
    for (const CCase& c : kCases) {
        CFakeHidTree tree;
        for (const CFakeNode& node : c.nodes) tree.Add(node);
        HidScan device;
        EXPECT_EQ(device.FindDevice(), c.nFound) << c.szName;
        EXPECT_EQ(device.GetLocation(), c.strLocation) << c.szName;
        EXPECT_EQ(device.GetDevicePath(), c.nFound ? tree.Path(c.strPath) : "") << c.szName;
    }
}

TEST(HidScanFind, DevicePathThatWouldNotFitIsRefusedNotCut) {
    if (!SimUsbAvailable()) GTEST_SKIP() << kSimUsbMissing;
    for (size_t nLength : {HidScan::kMaxTextLength, HidScan::kMaxTextLength + 1}) {
        CFakeHidTree tree;
        tree.Add({0, kBoxOnHub, 0x0525, 0xA4AD});
        const std::string strRoot = "/" + std::string(nLength - 9, 'd');  // + "/hidraw0"
        platform::SetHidDeviceRoot(strRoot);
        const bool bFits = nLength <= HidScan::kMaxTextLength;
        HidScan device;
        EXPECT_EQ(device.FindDevice(), bFits ? 1 : 0) << nLength;
        EXPECT_EQ(device.GetDevicePath().size(), bFits ? nLength : 0u);
    }
}

// A fake box: every handle the program opens is the host end of one report pair, so each report
// keeps its boundary.
class HidLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_pair.IsOpen()) GTEST_SKIP() << kSimUsbMissing;
        platform::SetHidOpenFunction(
            [this](const std::string&, bool) { return m_pair.OpenHostHandle(); });
        g_nUsbReadTimeout = 2000;
    }
    void TearDown() override {
        m_device.Close();
        platform::SetHidOpenFunction(nullptr);
    }
    void BoxSends(const std::string& strReport) {
        ASSERT_TRUE(m_pair.Send(SimUsbEnd::kBox, strReport));
    }
    // The next report the program wrote; empty when none is waiting.
    std::string BoxReceives() { return m_pair.Receive(SimUsbEnd::kBox, 0); }
    static std::string Pattern(size_t nLength, char cFirst) {
        std::string strData;
        while (strData.size() < nLength) strData += static_cast<char>(cFirst + strData.size() % 23);
        return strData;
    }
    CSimUsbPair m_pair;
    HidScan m_device;
};

TEST_F(HidLinkTest, LongWriteGoesOutAsFullReportsKeepingLeftovers) {
    ASSERT_TRUE(m_device.Open());
    const std::string strData = Pattern(1500, 'a');
    size_t nCount = 0;
    EXPECT_TRUE(m_device.Send(strData.data(), strData.size(), &nCount));
    EXPECT_EQ(nCount, 1500u);
    EXPECT_EQ(BoxReceives(), '\0' + strData.substr(0, 1024));
    EXPECT_EQ(BoxReceives(), '\0' + strData.substr(1024) + strData.substr(476, 548));
    EXPECT_EQ(BoxReceives(), "");
}

TEST_F(HidLinkTest, EachReadTakesOneReportInEitherFormAndDropsItsRest) {
    ASSERT_TRUE(m_device.Open());
    const std::string strA = Pattern(1024, 'A'), strB = Pattern(1024, 'b'),
                      strC = Pattern(1024, '0');
    // A numbered report, then two that carry the payload alone.
    for (const std::string& strReport : {'\0' + strA, strB, strC}) BoxSends(strReport);
    char buffer[2048];
    size_t nCount = 0;
    EXPECT_TRUE(m_device.Receive(buffer, 1024, &nCount));
    EXPECT_EQ(std::string(buffer, nCount), strA);
    EXPECT_TRUE(m_device.Receive(buffer, 10, &nCount));
    EXPECT_EQ(std::string(buffer, nCount), strB.substr(0, 10));
    m_pair.Close(SimUsbEnd::kBox);  // the box goes away after one more report
    EXPECT_FALSE(m_device.Receive(buffer, 2048, &nCount));
    EXPECT_EQ(std::string(buffer, nCount), strC);
}

TEST_F(HidLinkTest, EdAsSecondAndThirdByteLengthensReadsUntilTheNextWrite) {
    ASSERT_TRUE(m_device.Open());
    const std::pair<std::string, uint32_t> kWrites[] = {
        {"xED\r", 4000}, {"", 4000},    {"GetBoxMode\r\n", 2000},           {"EDIT", 2000},
        {"xE", 2000},    {"xEd", 2000}, {"xED" + Pattern(2000, 'a'), 4000},
    };
    for (const auto& [data, nTimeout] : kWrites) {
        size_t nCount = 0;
        EXPECT_TRUE(m_device.Send(data.data(), data.size(), &nCount)) << data.size();
        EXPECT_EQ(g_nUsbReadTimeout, nTimeout) << data.substr(0, 12);
        while (!BoxReceives().empty()) continue;
    }
}

TEST_F(HidLinkTest, LinkRefusesWorkUntilBothHandlesOpen) {
    platform::SetHidOpenFunction(
        [this](const std::string&, bool bWrite) {
            return bWrite ? platform::kInvalidHidHandle : m_pair.OpenHostHandle();
        });
    EXPECT_FALSE(m_device.Open());
    size_t nCount = 7;
    EXPECT_FALSE(m_device.Send("abc", 3, &nCount));
    EXPECT_EQ(nCount, 0u);
    EXPECT_FALSE(m_device.Drain(0));
    EXPECT_EQ(BoxReceives(), "");
}

// A record in use keeps pointing at its box while the scan still reports boxes.
TEST_F(HidLinkTest, OpenedRecordKeepsItsPathAndLocation) {
    CFakeHidTree tree;
    tree.Add({0, kBoxOnHub, 0x0525, 0xA4AD});
    ASSERT_EQ(m_device.FindDevice(), 1);
    ASSERT_TRUE(m_device.Open());
    tree.Add({1, "pci0000:00/usb2/2-3/2-3:1.0", 0x0525, 0xA4AD});
    EXPECT_EQ(m_device.FindDevice(), 1);
    EXPECT_EQ(m_device.GetDevicePath(), tree.Path("dev/hidraw0"));
    EXPECT_EQ(m_device.GetLocation(), "USB(2)HUB(1)");
    m_device.Close();
    EXPECT_EQ(m_device.FindDevice(), 1);
    EXPECT_EQ(m_device.GetDevicePath(), tree.Path("dev/hidraw1"));
    EXPECT_EQ(m_device.GetLocation(), "USB(3)HUB(2)");
}

}  // namespace
