#include "tests/tunnel/tunnel_fixture.h"

#include <filesystem>

#include "platform/file_system.h"
#include "tests/fakes/test_env.h"
#include "tnl/tnl.h"
#include "tunnel/com_ports.h"
#include "tunnel/pass_through.h"
#include "tunnel/tnl_value.h"

namespace {

constexpr const char* kStringKeys[] = {
    "alert_title", "installing_server", "enable_server", "install_server_success",
    "create_error", "statu_ready", "is_install_server", "install_server_error", "set_com_error",
    "reinstall_msg", "detect_server_yes", "detect_server_no", "btn_install_server",
    "btn_uninstall_server", "btn_start_up_server", "btn_set", "settings_title"};

}  // namespace

void VirComTest::SetUp() {
#ifdef _WIN32
    GTEST_SKIP() << "the virtual port is tested through a shell-script control program and a "
                    "ports folder of tty links; Windows has the system's tunnel service and COM "
                    "ports instead";
#endif
    std::string strLines = "com_is_using= [used]\n";
    for (const char* szKey : kStringKeys) strLines += std::string(szKey) + "=" + szKey + "\n";
    m_dir.WriteStrings(strLines);
    m_dir.WriteFile("tnl_service",
                    "#!/bin/sh\necho \"$*\" >> calls.log\n"
                    "if [ -f \"on_$1.sh\" ]; then . \"./on_$1.sh\"; fi\n");
    std::filesystem::permissions(m_dir.PathOf("tnl_service"), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    m_strRunDir = platform::MakeTempDirectory("zelvo-tnl-run");
    m_strPortsDir = platform::MakeTempDirectory("zelvo-ports");
    m_strDevicesDir = platform::MakeTempDirectory("zelvo-dev");
    SetTestVariable("TNL_RUN_DIR", m_strRunDir);
    SetTestVariable("ZELVO_PORTS_DIR", m_strPortsDir);
    SetSerialDevicesDir(m_strDevicesDir);
    SetTunnelWaitPercent(0);
    g_nPassThroughMode = 0;
    m_pService = std::make_unique<tnl_fake::CFakeTunnelService>(m_strRunDir);
}

void VirComTest::TearDown() {
    if (!m_pService) return;  // skipped
    tnl_DisconnectService();
    m_pService.reset();
    SetSerialDevicesDir("");
    for (const std::string& strDir : {m_strRunDir, m_strPortsDir, m_strDevicesDir})
        platform::RemoveDirectoryTree(strDir);
}

bool VirComTest::StartFakeService() {
    return m_pService->Start();
}

std::vector<std::string> VirComTest::ControlRuns() const {
    std::vector<std::string> runs;
    const std::string strLog = m_dir.ReadFile("calls.log");
    for (size_t nStart = 0, nEnd; (nEnd = strLog.find('\n', nStart)) != std::string::npos;
         nStart = nEnd + 1) {
        runs.push_back(strLog.substr(nStart, nEnd - nStart));
    }
    return runs;
}

void VirComTest::RemoveControlProgram() const {
    platform::RemoveFile(m_dir.PathOf("tnl_service"));
}

void VirComTest::LinkPort(const std::string& strEntry, const std::string& strTarget) const {
    ASSERT_TRUE(platform::CreateSymbolicLink(strTarget, platform::JoinPath(m_strPortsDir, strEntry)));
}

void VirComTest::OnControlCommand(const std::string& strCommand,
                                  const std::string& strScript) const {
    m_dir.WriteFile("on_" + strCommand + ".sh", strScript);
}

void VirComTest::MakeDevice(const std::string& strName) const {
    ASSERT_TRUE(platform::WriteFileAtomic(platform::JoinPath(m_strDevicesDir, strName), ""));
}

void VirComTest::AddConnection(const std::string& strName, const std::string& strPortName) const {
    ASSERT_TRUE(ConnectTunnelService());
    int nId = 0;
    ASSERT_TRUE(tnl_CreateConnection(TNL_TYPE_CLIENT, &nId));
    for (const auto& [strParam, strValue] : {std::pair<std::string, std::string>{"name", strName},
                                             {"port.name", strPortName}}) {
        CTnlValue name = CTnlValue::Text(strParam), value = CTnlValue::Text(strValue);
        ASSERT_TRUE(tnl_SetParam(nId, name.Get(), value.Get()));
    }
    ASSERT_TRUE(tnl_AddConnectionService(nId));
    tnl_DisconnectService();
}
