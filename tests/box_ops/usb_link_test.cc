// The box on USB: a fake hidraw tree whose box node opens to the host end of a report pair, and
// the simulated box serving reports on the other end (Linux only: see sim_usb_pair.h).
#include <optional>
#include <sstream>

#include "app/box_cli.h"
#include "app/main_frame.h"
#include "bridge/box_services.h"
#include "bridge/command_worker.h"
#include "tests/box_ops/box_ops_fixture.h"
#include "tests/fakes/fake_hid_tree.h"
#include "tests/fakes/recording_frontend.h"
#include "tools/box_sim/sim_usb_pair.h"

namespace {

class UsbLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pair.IsOpen()) GTEST_SKIP() << kSimUsbMissing;
        tree.emplace();
        tree->Add({3, "pci0000:00/0000:00:14.0/usb1/1-4/1-4.2/1-4.2:1.0", 0x0525, 0xA4AD});
        CSimBoxConfig config;
        config.nTcpPort = 0;
        config.nUsbFd = pair.BoxEnd();
        config.nRestartMs = 0;  // a write restarts the box; the next operation must reach it
        ASSERT_TRUE(sim.Start(config));
        auto lock = sim.Lock();
        sim.State().strType = "ZELVO-4G";
        sim.State().strSerial = "ZG-0042";
        platform::SetHidOpenFunction(
            [this](const std::string&, bool) { return pair.OpenHostHandle(); });
        dir.WriteFile("SoftLang.ini", "[HMI]\noem=0\n");  // branding off: no package needed
    }
    void TearDown() override {
        platform::SetHidOpenFunction({});
        sim.Stop();
    }

    CTempProgramDir dir;
    std::optional<CFakeHidTree> tree;  // made only where the HID layer reads it
    CSimUsbPair pair;                   // outlives the sim that serves it
    CSimBox sim;
};

TEST_F(UsbLinkTest, CommandLineIdentifiesAndQueriesVersionsInReports) {
    std::ostringstream out, err;
    const int nExit = RunBoxCli({"--program-dir", dir.Path(), "--usb", "--json", "versions"}, out,
                                err, CBoxCliTiming{CBoxTiming{0}, {}});
    EXPECT_EQ(nExit, 0) << err.str();
    EXPECT_EQ(out.str(),
              R"({"ok":true,"box":{"type":"ZELVO-4G","serial":"ZG-0042","mode":1},)"
              R"("versions":"OSVER:V1.0.2-P:FS\r\nfsFLASHVER:V1.0.2-P:FS\r\n","lines":["ZG-0042"]})"
              "\n");
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"GetHMIType\r", "GetRmtSN\r\n",
                                                        "GetBoxMode\r\n", "GetAllVersion\r"}));
    for (const std::string& report : sim.UsbReports()) {
        EXPECT_EQ(report.size(), 1025u);
        EXPECT_EQ(report[0], '\0');
    }
}

// A file of several megabytes goes to the box and back in 1024-byte report payloads.
TEST_F(UsbLinkTest, ConfigurationOfSeveralMegabytesGoesBothWays) {
    std::string data(3 * 1024 * 1024 + 5, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 1000);
    dir.WriteFile("big.xml", data);
    const CBoxCliTiming timing{CBoxTiming{0, 1, 500}, {}};  // the box is quiet again after 500 ms
    for (const char* szOperation : {"write-config", "read-config"}) {
        const std::string strFile = dir.PathOf(szOperation[0] == 'w' ? "big.xml" : "back.xml");
        std::ostringstream out, err;
        EXPECT_EQ(RunBoxCli({"--program-dir", dir.Path(), "--usb", "--json", szOperation, strFile}, out, err,
                            timing),
                  0)
            << szOperation << out.str() << err.str();
    }
    EXPECT_TRUE(dir.ReadFile("back.xml") == data);
}

TEST_F(UsbLinkTest, WorkerPassOpensTheUsbLinkAndIdentifies) {
    CBoxServices services(CBoxTiming{0});
    CRecordingPage page;
    CMainFrame frame(services.Services(), {0, 1, 0});
    frame.AttachPage(&page);
    frame.DispatchCommand("11", "USB:Download");
    RunWorkerPass(frame);
    EXPECT_EQ(page.Count("DetectBox(\"ZELVO-4G\", 1);"), 1u);
    EXPECT_EQ(page.Count("AddText(\"ZG-0042\");"), 1u);
    frame.AttachPage(nullptr);
}

}  // namespace
