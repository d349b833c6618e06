// The connection's parameters, the port name choice, the set-up and the removal at exit.
#include <algorithm>
#include <map>

#include "platform/codepage.h"
#include "support/settings.h"
#include "tests/tunnel/tunnel_fixture.h"
#include "tnl/tnl.h"
#include "tunnel/tnl_value.h"
#include "tunnel/virtual_port.h"

namespace {

using Runs = std::vector<std::string>;

// "'text'", "vt:number", or "[element,...]" for arrays.
std::string Render(const VARIANT& value) {
    if (value.vt == VT_BSTR) {
        return "'" + platform::Utf16ToUtf8(std::u16string_view(tnl::AsUtf16(value.bstrVal),
                                                               SysStringLen(value.bstrVal))) + "'";
    }
    if (value.vt != (VT_ARRAY | VT_VARIANT))
        return std::to_string(value.vt) + ":" + std::to_string(value.lVal);
    LONG nUpper = -1;
    SafeArrayGetUBound(value.parray, 1, &nUpper);
    std::string strText = "[";
    for (LONG i = 0; i <= nUpper; ++i) {
        CTnlValue element;
        SafeArrayGetElement(value.parray, &i, element.Get());
        strText += Render(*element) + (i < nUpper ? "," : "");
    }
    return strText + "]";
}

// The parameter table alone, on every system.
TEST(VirtualPortParametersTest, AreSentInOrderWithTheTablesTypes) {
    g_appSettings = CAppSettings();
    g_appSettings.strVirCom = "COM7";
    g_appSettings.strTunnelHost = "127.0.0.1";
    g_appSettings.strSerialParams = "19200,E,7,2";
    Runs names, rendered;
    std::map<VARTYPE, Runs> byType;
    for (const CPortParameter& p : VirtualPortParameters()) {
        names.push_back(p.strName);
        rendered.push_back(p.strName + "=" + Render(*p.value));
        byType[(*p.value).vt].push_back(p.strName);
    }
    ASSERT_EQ(names.size(), 42u);
    EXPECT_EQ(Runs(rendered.begin(), rendered.begin() + 5),
              (Runs{"name='ZELVO_COM'", "port.name='COM7'", "port.type='Virtual'",
                    "network.host=[['127.0.0.1','5001']]", "protocol.type='RAW'"}));
    EXPECT_TRUE(std::is_sorted(names.begin() + 5, names.end()));
    std::sort(byType[VT_INT].begin(), byType[VT_INT].end());
    EXPECT_EQ(byType[VT_INT], (Runs{"port.sendmode.mode", "port.sendmode.param",
                                    "protocol.access.read", "protocol.access.write",
                                    "protocol.paired.enable"}));
    EXPECT_EQ(byType[VT_I4].size(), 24u);
    for (const char* szRow :
         {"port.settings='19200,E,7,2'", "port.sendmode.param=22:5", "proxy.auth.pwd=''",
          "protocol.reconnect.timeout=3:1000", "protocol.maxconnections.value=3:25",
          "network.keepalive.timeout=3:7000", "network.break.timeout=3:60000",
          "proxy.host.port=3:3128", "security.auth.dll='auth.dll'", "ctrldisconn.rts=3:1"}) {
        EXPECT_NE(std::find(rendered.begin(), rendered.end(), szRow), rendered.end()) << szRow;
    }
}

TEST_F(VirComTest, AnEmptyNameBecomesTheFirstFreeOne) {
    ASSERT_TRUE(StartFakeService());
    LinkPort("com2");
    LinkPort("com3", "/nonexistent");  // reserved even without a device
    AddConnection("Other", "COM4");
    ASSERT_TRUE(ConnectTunnelService());
    g_appSettings.strVirCom = "";
    ChooseVirtualPortName();
    EXPECT_EQ(g_appSettings.strVirCom, "COM5");

    MakeDevice("ttyS4");  // COM5
    g_appSettings.strVirCom = "";
    ChooseVirtualPortName();
    EXPECT_EQ(g_appSettings.strVirCom, "COM6");
}

TEST_F(VirComTest, TestConnectionIsDeletedOnlyWhenTpIsSet) {
    ASSERT_TRUE(StartFakeService());
    LinkPort("com7");
    g_appSettings.strVirCom = "COM7";
    AddConnection("TestVirCom", "COM9");
    for (const int nTp : {0, 1}) {
        g_appSettings.nTp = nTp;
        CRecordingTunnelReport report;
        RunVirtualPortSetup(report);
        const Runs names = Service().Names();
        EXPECT_EQ(std::count(names.begin(), names.end(), "TestVirCom"), nTp == 0 ? 1 : 0) << nTp;
    }
}

TEST_F(VirComTest, RemovalAtExitStopsOnceThePortIsGone) {
    g_appSettings.strVirCom = "COM2";
    RemoveVirtualPortAtExit();
    EXPECT_EQ(ControlRuns(), Runs{"delete ZELVO_COM"});
    LinkPort("com2");
    RemoveVirtualPortAtExit();
    EXPECT_EQ(ControlRuns().size(), 5u);
}

struct CSetupCase {
    const char* szName;
    bool bService;
    bool bControlProgram;
    bool bPortAppears;
    Runs runs;
    Runs statusTexts;
    Runs errorTexts;
    size_t nConnections;
};

void PrintTo(const CSetupCase& c, std::ostream* pStream) {
    *pStream << c.szName;
}

class VirComSetupTest : public VirComTest, public ::testing::WithParamInterface<CSetupCase> {};

TEST_P(VirComSetupTest, EndsReadyWithTheRightMessages) {
    const CSetupCase& c = GetParam();
    if (c.bService) {
        ASSERT_TRUE(StartFakeService());
    }
    if (!c.bControlProgram) RemoveControlProgram();
    if (c.bPortAppears) LinkPort("com7");
    g_appSettings.strVirCom = "COM7";
    g_nVirtualPortReady = 0;
    CRecordingTunnelReport report;
    RunVirtualPortSetup(report);
    EXPECT_EQ(g_nVirtualPortReady.load(), 1);
    EXPECT_EQ(ControlRuns(), c.runs);
    EXPECT_EQ(report.statusTexts, c.statusTexts);
    EXPECT_EQ(report.errorTexts, c.errorTexts);
    EXPECT_EQ(Service().Names().size(), c.nConnections);
    // A configured name is used even though its port already exists.
    EXPECT_EQ(Service().Connection("ZELVO_COM").find(">COM7<") != std::string::npos,
              c.nConnections > 0);
}

const Runs kRestart = {"delete ZELVO_COM", "disable", "enable"};

Runs Repeat(const Runs& runs, int nTimes) {
    Runs all;
    for (int i = 0; i < nTimes; ++i) all.insert(all.end(), runs.begin(), runs.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Setup, VirComSetupTest,
    ::testing::Values(
        CSetupCase{"created", true, true, true, {}, {"statu_ready"}, {}, 1},
        CSetupCase{"port_never_appears", true, true, false, Repeat(kRestart, 4), {"statu_ready"},
                   {"create_error"}, 1},
        CSetupCase{"unreachable",
                   false,
                   true,
                   false,
                   {"uninstall", "install", "enable"},
                   {"installing_server", "enable_server", "install_server_success"},
                   {},
                   0},
        CSetupCase{"unreachable_without_control_program", false, false, false, {}, {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.szName); });

}  // namespace
