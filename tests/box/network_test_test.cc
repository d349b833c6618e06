#include "box/network_test.h"

#include <gtest/gtest.h>

#include "tests/fakes/recording_report.h"
#include "tests/fakes/scripted_box_link.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kSection = std::string("R:") + kNetworkSectionLine;

class NetworkTestTest : public ::testing::Test {
protected:
    NetworkTestTest() { dir.WriteStrings("string_format=%.2f/%.2f/%.2f\n"); }
    CTempProgramDir dir;
    CRecordingReport report;
};

TEST_F(NetworkTestTest, JsonSectionsFollowFunctionBitsAndKeys) {
    struct {
        const char* name;
        unsigned nBits;
        const char* reply;
        Lines expected;
    } const cases[] = {
        {"Ethernet enabled on a type without it", 6, R"({"ethEnable":1,"ethIp":"1.2.3.4"})",
         {kSection}},
        {"two ping numbers", 1,
         R"({"ethEnable":1,"ethIp":"1.2.3.4","conNetType":0,"pingTime":"10/20"})",
         {kSection, "L:ethernet_ip_address", "R:1.2.3.4", "L:get_ethernet_mac_failed",
          "L:connect_server_failed", kSection}},
        {"third number beyond 32 characters", 1,
         R"({"ethEnable":1,"conNetType":0,"pingTime":"1.000000000000/2.00000000000000/3"})",
         {kSection, "L:get_ethernet_ip_failed", "L:get_ethernet_mac_failed",
          "L:connect_server_failed", kSection}},
        {"2G on any type, keys in other case", 0,
         R"({"MOB2GENABLE":1,"mob2gip":"10.0.0.9","IMEI":"8612","CONNETTYPE":3,)"
         R"("PINGTIME":"1.5/2/3.25","ethEnable":1})",
         {kSection, "L:mobile_network_ip_address", "R:10.0.0.9", "R:IMEI:", "R:8612",
          "L:connect_server_time", "R:1.50/2.00/3.25", kSection}},
        {"Wi-Fi and 4G; a number is no address; 8-bit text", 7,
         R"({"wifiEnable":2,"wifiIp":5,"wifiMac":"caf)" "\xE9" R"(","Mob4GEnable":1,)"
         R"("conNetType":2,"pingTime":"1/2/3","Mob2GEnable":0})",
         {kSection, "L:get_wifi_ip_failed", "L:wifi_mac_address", "R:caf\xC3\xA9", kSection,
          "L:get_4g_ip_failed", "L:connect_server_time", "R:1.00/2.00/3.00", kSection}},
    };
    for (const auto& c : cases) {
        report.entries.clear();
        ReportJsonNetwork(c.reply, c.nBits, report);
        EXPECT_EQ(report.Lines(), c.expected) << c.name;
    }
}

TEST_F(NetworkTestTest, TextSectionsFieldsAndPingTimes) {
    const std::string kTwo = "eth0:0,ip:1.2.3.4\nx,ping:;wlan0:1,ip:,ping:10ms\n30ms\n20ms\n;";
    const Lines kTwoLines = {kSection, "L:ethernet_ip_address", "R:1.2.3.4",
                             "L:connect_server_failed", kSection, "L:set_wifi_failed",
                             "L:get_wifi_ip_failed", "L:connect_server_time", "R:10.00/10.00/20.00"};
    Lines threeLines = kTwoLines;
    threeLines.insert(threeLines.end(),
                      {kSection, "L:mobile_network_ip_address", "R:10.1.1.1", kSection});
    Lines twoLines = kTwoLines;
    twoLines.push_back(kSection);
    struct {
        std::string reply;
        Lines expected;
    } const cases[] = {
        {kTwo + "ppp0:0,ip:10.1.1.1;ignored", threeLines},
        {kTwo + "ppp0:0,ip:10.1.1.1", twoLines},
        {"eth1:0,ip:;x,ip:caf\xE9,ping:7ms\n",  // the name carries over; 8-bit text converts
         {kSection, "L:mobile_network", kSection, "L:mobile_network_ip_address", "R:caf\xC3\xA9",
          "L:connect_server_time", "R:7.00/7.00/7.00", kSection}},
        {"eth0:1;lo:1,ip:1.1.1.1,ping:10ms\n5ms\n20ms\n40ms\n",
         {kSection, kSection, "L:connect_server_time", "R:10.00/5.00/20.00", kSection}},
    };
    for (const auto& c : cases) {
        report.entries.clear();
        ReportTextNetwork(c.reply, report);
        EXPECT_EQ(report.Lines(), c.expected) << c.reply;
    }
}

TEST_F(NetworkTestTest, JsonFirstThenTextThenFailure) {
    const Lines kOpening = {std::string("R:") + kSeparatorLine, "L:detecting_network"};
    const std::string kJson = "TestNetworkJson\r\n", kText = "TestNetwork\r\n";
    struct {
        std::deque<std::string> receives;
        std::string strSent;
        std::string strForm;
        Lines tail;
    } const cases[] = {
        {{R"({"Mob2GEnable":1})"}, kJson, "json", {kSection, "L:get_4g_ip_failed", kSection}},
        {{"{not json"}, kJson, "json", {}},
        {{"ERROR\r", "eth0:0,ip:"}, kJson + kText, "text",
         {kSection, "L:get_ethernet_ip_failed", kSection}},
        {{"ERROR\r", "ERROR\r"}, kJson + kText, "", {"L:detect_network_failed"}},
    };
    for (const auto& c : cases) {
        CScriptedBoxLink link;
        link.receives = c.receives;
        CBoxChannel channel(CBoxTiming{0});
        channel.SetActiveLink(&link);
        report.entries.clear();
        const CNetworkTestResult result = TestBoxNetwork(channel, report, 0);
        Lines expected = kOpening;
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(link.strSent, c.strSent);
        EXPECT_EQ(result.strForm, c.strForm);
        EXPECT_EQ(result.bAnswered, !c.strForm.empty());
        EXPECT_EQ(report.Lines(), expected) << c.receives.front();
    }
}

TEST(FormatPingTimesTest, FillsOnlyThreeFloatConversions) {
    struct {
        const char* format;
        const char* expected;
    } const cases[] = {
        {"%.2f ms / %.2f ms / %.2f ms", "1.50 ms / 2.00 ms / 3.25 ms"},
        {"%s %n %d %5.1lf%% %g %e %f", "%s %n %d   1.5% 2 3.250000e+00 %f"},
        {"%*f %.999f %f|%Lf|%+08.3f", "%*f %.999f 1.500000|2.000000|+003.250"},
        {"100%", "100%"},
        {"%%%f%", "%1.500000%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPingTimes(c.format, 1.5, 2, 3.25), c.expected) << c.format;
    }
}

}  // namespace
