// Page commands through the dispatcher and the worker pass, against the simulated box over TCP.
#include <algorithm>

#include "app/main_frame.h"
#include "box/firmware_image.h"
#include "bridge/box_services.h"
#include "bridge/command_state.h"
#include "bridge/command_worker.h"
#include "tests/box_ops/box_ops_fixture.h"
#include "tests/fakes/recording_frontend.h"

namespace {

using Lines = std::vector<std::string>;

std::string Line(const std::string& text) { return "AddText(\"" + text + "\");"; }
const std::string kSeparator = Line("----------------------------------------------");
// A pass with an identified box enables the page, then disables it for the operation.
const Lines kPassStart = {"DisableOperate(false);", "DisableOperate(true);"};

class PageCommandTest : public BoxOpsTest {
protected:
    explicit PageCommandTest(int nThird = 50)
        : BoxOpsTest(nThird), services(CBoxTiming{0, 1, 0}), frame(services.Services(), {0, 1, 0}) {
        frame.AttachPage(&page);
        frame.AttachDialogs(&dialogs);
        frame.DispatchCommand("11", "LocalNetwork");
        frame.DispatchCommand("12", strSimAddress);
    }
    // Runs the command through one worker pass and returns the page scripts it produced.
    Lines Run(const std::string& v1, const std::string& v2) {
        page.TakeScripts();
        TakeCommands();
        frame.DispatchCommand(v1, v2);
        RunWorkerPass(frame);
        return page.TakeScripts();
    }

    CBoxServices services;
    CRecordingPage page;
    CScriptedDialogs dialogs;
    CMainFrame frame;
};

TEST_F(PageCommandTest, IdentificationThenEachOperationSendsAndShowsExactly) {
    RunWorkerPass(frame);
    EXPECT_EQ(TakeCommands(), (Lines{"GetHMIType\r", "GetRmtSN\r\n", "GetBoxMode\r\n"}));
    Lines scripts = page.TakeScripts();
    EXPECT_EQ(Lines(scripts.end() - 3, scripts.end()),
              (Lines{"DetectBox(\"ZELVO-4G\", 2);", Line("ZG-0042"), "DisableOperate(true);"}));
    EXPECT_EQ(services.Session().Record().strTypeKernel, "3");  // the first of two entries

    struct {
        const char* v1;
        const char* v2;
        Lines commands;
        Lines scripts;
    } const cases[] = {
        {"18", "", {"Light\r"}, {kSeparator, Line("[light_cmd_suc]")}},
        {"4", "", {"GetRmtSN\r\n"},
         {kSeparator, Line("[get_maccode_success]"), Line("ZG-0042")}},
        {"5", "", {"TestNetworkJson\r\n"},
         {kSeparator, Line("[detecting_network]"), Line("*****************************"),
          Line("[ethernet_ip_address]"), Line("192.168.1.20"), Line("[ethernet_mac_address]"),
          Line("00:11:22:33:44:55"), Line("[connect_server_time]"), Line("12.5/13.0/14.1 ms"),
          Line("*****************************")}},
        {"16", "3", {"SetBoxMode 3\r\n", "reset\r"},
         {kSeparator, Line("[set_mode_success]"), Line("[reboot_zelvo]")}},
    };
    for (const auto& c : cases) {
        const Lines got = Run(c.v1, c.v2);
        ASSERT_GE(got.size(), 2u) << c.v1;
        EXPECT_EQ(Lines(got.begin(), got.begin() + 2), kPassStart) << c.v1;
        EXPECT_EQ(Lines(got.begin() + 2, got.end()), c.scripts) << c.v1;
        EXPECT_EQ(TakeCommands(), c.commands) << c.v1;
    }
    EXPECT_EQ(dialogs.strClipboard, "ZG-0042");
}

TEST_F(PageCommandTest, TimeZoneFromCommand22IsSentUnchangedAndYesRestarts) {
    RunWorkerPass(frame);
    frame.DispatchCommand("22", "China Standard Time");
    dialogs.bMessageAnswer = true;
    const Lines scripts = Run("1", "");
    const Lines commands = TakeCommands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], "SetTZ China Standard Time\r");
    EXPECT_EQ(commands[1].rfind("SetTime utc/", 0), 0u);
    EXPECT_EQ(commands[2], "reset\r");
    EXPECT_EQ(Lines(scripts.begin() + 2, scripts.end()),
              (Lines{kSeparator, Line("[updating_time]"), Line("[update_tz_success]"),
                     Line("[update_time_success]")}));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].strText, "[is_update_tz]");
}

TEST_F(PageCommandTest, IdentificationFailures) {
    struct {
        const char* name;
        const char* prefix;
        std::vector<std::string> reply;
        const char* detect;
        Lines commands;
    } const cases[] = {
        {"serial begins with the type", "GetRmtSN", {"ZELVO-4G-0042"}, "DetectBox(\"UNKNOWN\", -1);",
         {"GetHMIType\r", "GetRmtSN\r\n", "GetBoxMode\r\n"}},
        {"type ERROR", "GetHMIType", {"ERROR\r"}, "DetectBox(\"UNKNOWN\", -1);", {"GetHMIType\r"}},
        {"mode ERROR", "GetBoxMode", {"ERROR\r"}, "DetectBox(\"ZELVO-4G\", -1);",
         {"GetHMIType\r", "GetRmtSN\r\n", "GetBoxMode\r\n"}},
    };
    for (const auto& c : cases) {
        sim.ClearReplies();
        sim.SetReply(c.prefix, c.reply);
        g_bNeedDetect = 1;
        const Lines scripts = Run("11", "LocalNetwork");
        EXPECT_NE(std::find(scripts.begin(), scripts.end(), c.detect), scripts.end()) << c.name;
        EXPECT_EQ(TakeCommands(), c.commands) << c.name;
    }
}

// Commands 0, 9, 2, 14 and 15: the configuration built from the page and written to the box,
// read back, and the cloud project both ways through the file dialogs.
TEST_F(PageCommandTest, ConfigurationAndProjectTransfers) {
    RunWorkerPass(frame);
    const std::string kDeleteLog = "DeleteFile //mnt//ardex//ardex//run//project//quectel.log\r";
    const std::string strPageText = std::string("Ethernet\x02Ip\x02") + "10.0.0.9\x02";
    const std::string strProject = dir.PathOf("demo.zcpj");
    dir.WriteFile("demo.zcpj", "project bytes");
    {
        auto lock = sim.Lock();
        sim.State().uploadPasswords["cloudprj.zcpj"] = "secret";
    }
    auto progress = [](size_t n) {
        return Lines{"ShowProgress(0," + std::to_string(n) + ");",
                     "ShowProgress(" + std::to_string(n) + "," + std::to_string(n) + ");"};
    };
    auto concat = [](std::initializer_list<Lines> parts) {
        Lines all;
        for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Lines kWriteEnd = {Line("[download_success]"), Line("[reboot_zelvo]"),
                             "DisableOperate(true);"};

    Lines scripts = Run("0", strPageText);  // saves setup.xml, then writes it to the box
    const std::string strSetup = dir.ReadFile("setup.xml");
    EXPECT_NE(strSetup.find("Ip=\"10.0.0.9\""), std::string::npos);
    EXPECT_EQ(Lines(scripts.begin() + 2, scripts.end()),
              concat({{Line("[stopping_zelvo]"), Line("[download_config_file]")},
                      progress(strSetup.size()), kWriteEnd}));
    EXPECT_EQ(TakeCommands(),
              (Lines{"TerminateAll\r", kDeleteLog, "Download setup.xml\r", "reset\r"}));
    {
        auto lock = sim.Lock();
        EXPECT_EQ(sim.State().files["setup.xml"], strSetup);
        sim.State().files["setup.xml"] = "<box-side/>";
    }
    EXPECT_EQ(g_bNeedDetect, 1);  // identified again once the box is back
    RunWorkerPass(frame);

    scripts = Run("2", "");  // the box's configuration into setup.xml
    EXPECT_EQ(Lines(scripts.begin() + 2, scripts.end()),
              concat({{kSeparator, Line("[upload_config_file]")}, progress(11),
                      {Line("[upload_config_success]"), "ShowUpLoadSetup()"}}));
    EXPECT_EQ(dir.ReadFile("setup.xml"), "<box-side/>");

    dialogs.AnswerNextFileDialog(strProject);
    scripts = Run("14", "");
    EXPECT_EQ(Lines(scripts.begin() + 2, scripts.end()),
              concat({{Line("[stopping_zelvo]"), Line("[download_project_file]")}, progress(13),
                      kWriteEnd}));
    RunWorkerPass(frame);

    dialogs.AnswerNextFileDialog(dir.PathOf("back.zcpj"));
    scripts = Run("15", "wrong");
    EXPECT_EQ(Lines(scripts.begin() + 2, scripts.end()),
              (Lines{kSeparator, Line("[upload_config_file]"), Line("[upload_password_invalid]")}));
    EXPECT_FALSE(dir.Exists("back.zcpj"));
    dialogs.AnswerNextFileDialog(dir.PathOf("back"));  // the extension is added
    Run("15", "secret");
    EXPECT_EQ(dir.ReadFile("back.zcpj"), "project bytes");
    EXPECT_EQ(TakeCommands(), Lines{"Upload cloudprj.zcpj secret\r"});
}

// Command 13: the summary question and the note reach the dialogs; Yes sends the image.
TEST_F(PageCommandTest, FirmwareUpdateAsksThenSendsTheNewerImage) {
    RunWorkerPass(frame);
    const std::string strPlain(5000, 'f');
    dir.WriteFile("update/plain", strPlain);
    ASSERT_EQ(DecryptImageFile(dir.PathOf("update/plain"), kImageKey, dir.PathOf("update/os.img")),
              kDecryptOk);
    dir.WriteFile("Up.ibl", "<UpdateInfo><ZELVOType SerialNo=\"ZG\"><element Kernel=\"3\" "
                            "ImgName=\"os.img\" DownName=\"os.bin\" VerName=\"OSVER:\" "
                            "Ver=\"V1.0.3-P:FS\" Md5=\"" + SimMd5Hex(strPlain) +
                                "\"/></ZELVOType></UpdateInfo>");
    dialogs.bMessageAnswer = true;
    Run("13", "");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].style, MessageBoxStyle::kYesNo);
    EXPECT_NE(dialogs.messages[0].strText.find("OSVER:V1.0.2-P:FS"), std::string::npos);
    EXPECT_EQ(dialogs.messages[1].style, MessageBoxStyle::kOk);
    auto lock = sim.Lock();
    EXPECT_EQ(sim.State().firmwareImages, Lines{"update"});
    EXPECT_EQ(sim.State().files["update"], strPlain);
}

// The probe walks the whole /24: no other test may have a box there.
class PageDiscoveryTest : public PageCommandTest {
protected:
    PageDiscoveryTest() : PageCommandTest(52) {}
};

TEST_F(PageDiscoveryTest, DiscoveryOfTheSelectedNetworkFindsTheBox) {
    const Lines scripts = Run("10", "0");
    EXPECT_EQ(scripts, Lines{"RefreshList(\"" + strSimAddress + ";\");"});
    EXPECT_EQ(TakeCommands(), Lines{"GetHostName\r"});  // the probe; nothing else
}

}  // namespace
