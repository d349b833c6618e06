// The control program's runs and the COM port queries.
#include <algorithm>
#include <functional>

#include "platform/file_system.h"
#include "tests/tunnel/tunnel_fixture.h"
#include "tunnel/com_ports.h"
#include "tunnel/service_control.h"

namespace {

using Runs = std::vector<std::string>;

TEST_F(VirComTest, ServiceSequencesRunTheControlProgramInTheProgramDirectory) {
    struct {
        const char* szName;
        std::function<void()> run;
        Runs expected;
    } const cases[] = {
        {"delete", DeleteVirtualPortConnections, {"delete ZELVO_COM"}},
        {"enable", EnableService, {"enable"}},
        {"disable", DisableService, {"disable"}},
        {"remove", RemoveService, {"delete ZELVO_COM", "disable", "uninstall"}},
        {"restart", RestartServiceClean, {"delete ZELVO_COM", "disable", "enable"}},
    };
    for (const auto& c : cases) {
        platform::RemoveFile(m_dir.PathOf("calls.log"));
        c.run();
        EXPECT_EQ(ControlRuns(), c.expected) << c.szName;
    }
}

TEST_F(VirComTest, InstallReportsOnlyTheRunsThatStarted) {
    CRecordingTunnelReport report;
    InstallService(report);
    EXPECT_EQ(ControlRuns(), (Runs{"uninstall", "install", "enable"}));
    EXPECT_EQ(report.statusTexts,
              (Runs{"installing_server", "enable_server", "install_server_success"}));

    RemoveControlProgram();
    CRecordingTunnelReport silent;
    InstallService(silent);
    EXPECT_TRUE(silent.statusTexts.empty());
    EXPECT_FALSE(RunServiceCommand(EServiceCommand::kEnable));
}

TEST_F(VirComTest, PortNumbersComeFromComEntriesAndSerialDevices) {
    LinkPort("com2");
    LinkPort("COM12", "/nonexistent");
    for (const char* szEntry : {"com", "comX1", "com3x", "con4"}) LinkPort(szEntry);
    for (const char* szDevice : {"ttyS1", "ttyS4", "ttyS", "ttySx", "tty7", "ttys2"})
        MakeDevice(szDevice);
    std::vector<int> numbers = {99};
    EXPECT_EQ(ListPortNumbers(&numbers, m_strDevicesDir), 1);
    std::sort(numbers.begin(), numbers.end());
    // com2 and ttyS1 both name COM2; the list keeps what was there before.
    EXPECT_EQ(numbers, (std::vector<int>{2, 2, 5, 12, 99}));
}

TEST_F(VirComTest, PortIsPresentOnlyForAnExactNameLinkedToADevice) {
    LinkPort("com2");
    LinkPort("com3", "/nonexistent");
    LinkPort("com4", m_dir.PathOf("tnl_service"));  // a regular file
    ASSERT_TRUE(platform::WriteFileAtomic(platform::JoinPath(m_strPortsDir, "com5"), ""));
    const struct {
        const char* szName;
        int nPresent;
    } cases[] = {{"COM2", 1}, {"com2", 0}, {"Com2", 0}, {"COM3", 0},
                 {"COM4", 0}, {"COM5", 0}, {"COM", 0},  {"COM9", 0}};
    for (const auto& c : cases) EXPECT_EQ(IsPortPresent(c.szName), c.nPresent) << c.szName;
    EXPECT_EQ(PortDevicePath("COM2"), "/dev/null");
    EXPECT_EQ(PortDevicePath("COM3"), "");
}

}  // namespace
