// The box command line against the simulated box: its JSON, its lines and its exit status.
#include <cjson/cJSON.h>

#include <sstream>

#include "app/box_cli.h"
#include "tests/box_ops/box_ops_fixture.h"

namespace {

struct CCliResult {
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

class BoxCliTest : public BoxOpsTest {
protected:
    // Branding off: these runs need no certificate package.
    explicit BoxCliTest(int nThird = 51) : BoxOpsTest(nThird) {
        dir.WriteFile("SoftLang.ini", "[HMI]\noem=0\n");
    }

    CCliResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", dir.Path(), "--json"});
        std::ostringstream out, err;
        CCliResult result;
        result.nExit = RunBoxCli(args, out, err, CBoxCliTiming{CBoxTiming{0, 1, 0}, {}});
        result.strOut = out.str();
        result.strErr = err.str();
        return result;
    }
    CCliResult RunAtSim(const std::vector<std::string>& operation) {
        std::vector<std::string> args = {"--address", strSimAddress};
        args.insert(args.end(), operation.begin(), operation.end());
        return Run(args);
    }
};

// The printed JSON with the values that change from run to run left out.
std::string Stable(const std::string& json) {
    cJSON* p = cJSON_Parse(json.c_str());
    if (p == nullptr) return "not JSON: " + json;
    cJSON_DeleteItemFromObjectCaseSensitive(p, "network");
    char* pText = cJSON_PrintUnformatted(p);
    std::string text = pText;
    cJSON_free(pText);
    cJSON_Delete(p);
    return text;
}

const std::string kBox = R"("box":{"type":"ZELVO-4G","serial":"ZG-0042","mode":2},)";
const std::string kSep = "----------------------------------------------";

TEST_F(BoxCliTest, EachOperationPrintsOneJsonObject) {
    struct {
        std::vector<std::string> operation;
        int nExit;
        std::string strJson;
        std::vector<std::string> commands;  // after identification
    } const cases[] = {
        {{"identify"}, 0, R"({"ok":true,)" + kBox + R"("lines":["ZG-0042"]})", {}},
        {{"versions"}, 0,
         R"({"ok":true,)" + kBox +
             R"("versions":"OSVER:V1.0.2-P:FS\r\nfsFLASHVER:V1.0.2-P:FS\r\n","lines":["ZG-0042"]})",
         {"GetAllVersion\r"}},
        {{"light"}, 0, R"({"ok":true,)" + kBox + R"("lines":["ZG-0042",")" + kSep + R"(","[light_cmd_suc]"]})",
         {"Light\r"}},
        {{"mode", "4"}, 0,
         R"({"ok":true,)" + kBox + R"("mode":4,"lines":["ZG-0042",")" + kSep +
             R"(","[set_mode_success]","[reboot_zelvo]"]})",
         {"SetBoxMode 4\r\n", "reset\r"}},
        {{"stop"}, 0, R"({"ok":true,)" + kBox + R"("lines":["ZG-0042","[stopping_zelvo]"]})",
         {"TerminateAll\r", "DeleteFile //mnt//ardex//ardex//run//project//quectel.log\r"}},
        {{"restart"}, 0, R"({"ok":true,)" + kBox + R"("lines":["ZG-0042","[reboot_zelvo]"]})",
         {"reset\r"}},
        {{"sync-time", "UTC"}, 0,
         R"({"ok":true,)" + kBox + R"("lines":["ZG-0042",")" + kSep +
             R"(","[updating_time]","[update_tz_success]","[update_time_success]"]})",
         {"SetTZ UTC\r", "SetTime"}},  // answered No: no restart
    };
    for (const auto& c : cases) {
        {
            auto lock = sim.Lock();
            sim.State().strTimeZone.clear();
            sim.State().nMode = 2;
        }
        TakeCommands();
        const CCliResult result = RunAtSim(c.operation);
        EXPECT_EQ(result.nExit, c.nExit) << c.operation[0] << result.strErr;
        EXPECT_EQ(Stable(result.strOut), c.strJson) << c.operation[0];
        std::vector<std::string> commands = TakeCommands();
        ASSERT_GE(commands.size(), 3u);
        commands.erase(commands.begin(), commands.begin() + 3);
        if (c.operation[0] == "sync-time" && commands.size() == 2) commands[1].resize(7);
        EXPECT_EQ(commands, c.commands) << c.operation[0];
        sim.ClearReplies();
    }
}

TEST_F(BoxCliTest, NetworkTestCarriesTheReplyAndFailuresExitOne) {
    CCliResult result = RunAtSim({"network-test"});
    EXPECT_EQ(result.nExit, 0);
    EXPECT_NE(result.strOut.find(R"("network":{"form":"json","reply":"{\"conNetType\":0)"),
              std::string::npos)
        << result.strOut;

    sim.SetReply("TerminateAll", {"ERROR\r"});
    result = RunAtSim({"stop"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(Stable(result.strOut),
              R"({"ok":false,)" + kBox + R"("lines":["ZG-0042","[stopping_zelvo]","[stop_zelvo_failed]"]})");

    sim.SetReply("GetHMIType", {"ERROR\r"});
    result = RunAtSim({"light"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(Stable(result.strOut), R"({"ok":false,"lines":["[detect_zelvo_failed]"]})");
}

TEST_F(BoxCliTest, UsageErrorsExitTwoWithoutTraffic) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--address", strSimAddress, "fly"},
        {"identify"},                                      // no link
        {"--usb", "--address", strSimAddress, "identify"},  // two links
        {"--address", strSimAddress, "mode", "x"},
        {"--address", strSimAddress, "light", "extra"},
        {"--address"},
        {"--address", strSimAddress, "read-config"},
        {"--address", strSimAddress, "read-config", "f", "--password", "p"},
    };
    TakeCommands();
    for (const auto& args : cases) {
        const CCliResult result = Run(args);
        EXPECT_EQ(result.nExit, 2) << (args.empty() ? "" : args.back());
        EXPECT_TRUE(result.strOut.empty());
        EXPECT_FALSE(result.strErr.empty());
    }
    EXPECT_TRUE(TakeCommands().empty());
}

TEST_F(BoxCliTest, FileOperationsReportTheirOutcome) {
    dir.WriteFile("mine.xml", "<local/>");
    {
        auto lock = sim.Lock();
        sim.State().files["cloudprj.zcpj"] = "project";
        sim.State().uploadPasswords["cloudprj.zcpj"] = "pw";
    }
    const std::string kWritten = R"("lines":["ZG-0042","[stopping_zelvo]",)";
    struct {
        std::vector<std::string> operation;
        const char* terminateReply;  // scripted answer to "TerminateAll", if any
        int nExit;
        std::string strJson;
    } const cases[] = {
        {{"write-config", dir.PathOf("mine.xml")}, nullptr, 0,
         R"({"ok":true,)" + kBox + R"("outcome":"sent",)" + kWritten +
             R"("[download_config_file]","[download_success]","[reboot_zelvo]"]})"},
        {{"read-config", dir.PathOf("back.xml")}, nullptr, 0,
         R"({"ok":true,)" + kBox + R"("outcome":"success","lines":["ZG-0042",")" + kSep +
             R"(","[upload_config_file]","[upload_config_success]"]})"},
        {{"read-project", dir.PathOf("p.zcpj"), "--password", "no"}, nullptr, 1,
         R"({"ok":false,)" + kBox + R"("outcome":"wrong-password","lines":["ZG-0042",")" + kSep +
             R"(","[upload_config_file]","[upload_password_invalid]"]})"},
        {{"write-project", dir.PathOf("missing.zcpj")}, "ERROR\r", 1,
         R"({"ok":false,)" + kBox + R"("outcome":"box-not-stopped",)" + kWritten +
             R"("[stop_zelvo_failed]"]})"},
    };
    for (const auto& c : cases) {
        sim.ClearReplies();
        if (c.terminateReply != nullptr) sim.SetReply("TerminateAll", {c.terminateReply});
        const CCliResult result = RunAtSim(c.operation);
        EXPECT_EQ(result.nExit, c.nExit) << c.operation[0] << result.strErr;
        EXPECT_EQ(Stable(result.strOut), c.strJson) << c.operation[0];
    }
    EXPECT_EQ(dir.ReadFile("back.xml"), "<local/>");  // written, then read back
    EXPECT_FALSE(dir.Exists("p.zcpj"));
}

class BoxCliDiscoveryTest : public BoxCliTest {
protected:
    BoxCliDiscoveryTest() : BoxCliTest(53) {}
};

TEST_F(BoxCliDiscoveryTest, DiscoverListsTheBoxesOfTheSelectedNetwork) {
    const CCliResult result = Run({"discover", "--probe", "--address", strSimAddress});
    EXPECT_EQ(result.nExit, 0);
    EXPECT_EQ(Stable(result.strOut), R"({"ok":true,"boxes":[")" + strSimAddress + R"("],"lines":[]})");
}

TEST_F(BoxCliDiscoveryTest, NoBoxAtTheAddressFails) {
    const CCliResult result = Run({"--address", "127.0.53.254", "identify"});
    EXPECT_EQ(result.nExit, 1);
    EXPECT_EQ(Stable(result.strOut), R"({"ok":false,"lines":["[detect_zelvo_failed]"]})");
}

}  // namespace
