// The control program runs in the program directory and is waited for; its exit code says
// nothing the callers use, because the service's own state decides what happens next.
#include "tunnel/service_control.h"

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/program_dir.h"
#include "support/localized_strings.h"
#include "tnl/tnl.h"

namespace {

constexpr const char* kControlProgram = "tnl_service";
constexpr unsigned kInstallStepWaitMs = 100;

void ShowStatus(ITunnelReport& report, const char* szKey) {
    report.ShowStatusText(GetLocalizedString(szKey));
}

// The control program works on the service, which must be free of our pipe meanwhile.
void RunAfterDisconnect(EServiceCommand eCommand) {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    tnl_DisconnectService();
    RunServiceCommand(eCommand);
}

}  // namespace

std::vector<std::string> ServiceCommandArgs(EServiceCommand eCommand) {
    switch (eCommand) {
        case EServiceCommand::kInstall:
            return {"install"};
        case EServiceCommand::kUninstall:
            return {"uninstall"};
        case EServiceCommand::kEnable:
            return {"enable"};
        case EServiceCommand::kDisable:
            return {"disable"};
        case EServiceCommand::kDelete:
            return {"delete", kVirtualPortConnection};
    }
    return {};
}

bool RunServiceCommand(EServiceCommand eCommand, ITunnelReport* pReport,
                       const std::string& strStartedText) {
    const std::string strDir = platform::GetProgramDirectory();
    platform::CSpawnRequest request;
    request.strProgram = platform::JoinPath(strDir, kControlProgram);
    request.args = ServiceCommandArgs(eCommand);
    request.strWorkingDir = strDir;
    bool bStarted = false;
    platform::RunAndWait(request, [&] {
        bStarted = true;
        if (pReport != nullptr && !strStartedText.empty()) pReport->ShowStatusText(strStartedText);
    });
    return bStarted;
}

void InstallService(ITunnelReport& report) {
    if (RunServiceCommand(EServiceCommand::kUninstall, &report,
                          GetLocalizedString("installing_server"))) {
        TunnelWait(kInstallStepWaitMs);
    }
    if (RunServiceCommand(EServiceCommand::kInstall)) TunnelWait(kInstallStepWaitMs);
    if (RunServiceCommand(EServiceCommand::kEnable, &report, GetLocalizedString("enable_server")))
        ShowStatus(report, "install_server_success");
}

void EnableService() {
    RunAfterDisconnect(EServiceCommand::kEnable);
}

void DisableService() {
    RunAfterDisconnect(EServiceCommand::kDisable);
}

void DeleteVirtualPortConnections() {
    RunAfterDisconnect(EServiceCommand::kDelete);
}

void RemoveService() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    DeleteVirtualPortConnections();
    DisableService();
    RunServiceCommand(EServiceCommand::kUninstall);
}

void RestartServiceClean() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    DeleteVirtualPortConnections();
    DisableService();
    EnableService();
}
