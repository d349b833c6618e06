// Identification pieces and box control over a scripted link: the rules a simulated box is not
// needed for (a failing send, a clipboard that cannot be opened, odd mode replies).
#include <gtest/gtest.h>

#include <functional>

#include "box/box_control.h"
#include "box/box_identify.h"
#include "support/xml_document.h"
#include "tests/fakes/recording_report.h"
#include "tests/fakes/scripted_box_link.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kSep = std::string("R:") + kSeparatorLine;

class BoxControlTest : public ::testing::Test {
public:
    BoxControlTest() : channel(CBoxTiming{0}) { channel.SetActiveLink(&link); }
    CScriptedBoxLink link;
    CBoxChannel channel;
    CRecordingReport report;
};

TEST_F(BoxControlTest, OperationsWriteTheirLinesAndSendTheirCommands) {
    struct {
        const char* name;
        std::function<void(BoxControlTest&)> run;
        std::deque<std::string> receives;
        bool bSendFails;
        std::string strSent;
        Lines lines;
    } const cases[] = {
        {"light sent", [](BoxControlTest& t) { FlashBoxLight(t.channel, t.report); }, {}, false,
         "Light\r", {kSep, "L:light_cmd_suc"}},
        {"light on a dead link", [](BoxControlTest& t) { FlashBoxLight(t.channel, t.report); }, {},
         true, "", {kSep, "L:light_cmd_err"}},
        {"box does not stop",
         [](BoxControlTest& t) {
             CReplyBuffer reply;
             EXPECT_FALSE(StopBox(t.channel, t.report, &reply));
         },
         {"ERROR\r"}, false, "TerminateAll\r", {"L:stopping_zelvo", "L:stop_zelvo_failed"}},
        {"mode OK without return",
         [](BoxControlTest& t) { EXPECT_FALSE(SetBoxMode(t.channel, t.report, 3)); },
         {"OKx", ""}, false, "SetBoxMode 3\r\nreset\r",
         {kSep, "L:set_mode_failed", "L:reboot_zelvo"}},
        {"clipboard closed",
         [](BoxControlTest& t) {
             t.report.bClipboardWorks = false;
             EXPECT_EQ(CopyMachineCode(t.channel, t.report), "ZG-0042");
         },
         {"ZG-0042"}, false, "GetRmtSN\r\n", {kSep, "L:get_maccode_success", "R:ZG-0042"}},
        {"no serial", [](BoxControlTest& t) { CopyMachineCode(t.channel, t.report); },
         {"ERROR\r"}, false, "GetRmtSN\r\n", {kSep, "L:get_maccode_failed"}},
    };
    for (const auto& c : cases) {
        link.receives = c.receives;
        link.bSendFails = c.bSendFails;
        link.strSent.clear();
        report = CRecordingReport();
        c.run(*this);
        EXPECT_EQ(link.strSent, c.strSent) << c.name;
        EXPECT_EQ(report.Lines(), c.lines) << c.name;
    }
}

TEST(BoxTypeLookup, FirstMatchingEntryAndSilentMisses) {
    XmlDocument types;
    ASSERT_TRUE(types.SetText(
        "<BOXSet><box Type=\"A\" SerialNo=\"s1\" Kernel=\"k1\" func=\"5x\"/>"
        "<box Type=\"A\" SerialNo=\"s2\" Kernel=\"k2\" func=\"1\"/>"
        "<box Type=\"B\" func=\"none\"/></BOXSet>"));
    CBoxTypeRecord record;
    EXPECT_TRUE(LookupBoxType(types, "A", &record));
    EXPECT_EQ(record.nBoxFunctions, 5u);
    EXPECT_EQ(record.strTypeSerialNo, "s1");
    EXPECT_TRUE(LookupBoxType(types, "B", &record));
    EXPECT_EQ(record.nBoxFunctions, 0u);
    EXPECT_EQ(record.strTypeKernel, "");  // the entry has none
    record = {7, "keep", "keep"};
    EXPECT_FALSE(LookupBoxType(types, "A\r", &record));  // compared exactly
    EXPECT_EQ(record.nBoxFunctions, 0u);
    EXPECT_EQ(record.strTypeSerialNo, "keep");
}

TEST(BoxIdentify, ModeKeepsItsValueWhenTheTypeQueryFails) {
    CScriptedBoxLink link;
    CBoxChannel channel(CBoxTiming{0});
    channel.SetActiveLink(&link);
    link.receives = {"ERROR\r"};
    CBoxIdentity identity = IdentifyBox(channel, 5);
    EXPECT_FALSE(identity.bIdentified);
    EXPECT_EQ(identity.nBoxMode, 5);
    EXPECT_EQ(link.strSent, "GetHMIType\r");

    link.receives = {"T", "SN", "Mode=x"};  // a mode that does not parse
    identity = IdentifyBox(channel, 5);
    EXPECT_TRUE(identity.bIdentified);
    EXPECT_EQ(identity.nBoxMode, -1);
}

}  // namespace
