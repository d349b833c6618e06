#include "app/subsystem_hooks.h"

#include "app/main_frame.h"
#include "package/branding_import.h"
#include "panel/panel_editor.h"
#include "platform/process.h"
#include "platform/program_dir.h"
#include "support/settings.h"
#include "support/user_dialogs.h"
#include "tunnel/pass_through.h"
#include "tunnel/service_control.h"
#include "tunnel/virtual_port.h"
#include "updatecheck/update_check.h"

void CWindowTunnelReport::Attach(CMainFrame* pFrame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pFrame = pFrame;
}

void CWindowTunnelReport::ShowStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pFrame != nullptr) m_pFrame->SetStatusText(text);
}

void CWindowTunnelReport::ShowErrorText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pFrame != nullptr) m_pFrame->ShowMessage(text, false);
}

CSubsystemHooks::~CSubsystemHooks() {
    if (m_setupThread.joinable()) m_setupThread.join();
}

void CSubsystemHooks::LoadHmiSettings() {
    ::LoadHmiSettings();
}

void CSubsystemHooks::StartVirtualPortSetup(CMainFrame& frame) {
    if (m_setupThread.joinable()) return;  // one set-up thread at a time
    m_report.Attach(&frame);
    g_nVirtualPortReady = 0;
    m_setupThread = std::thread([this] { RunVirtualPortSetup(m_report); });
}

bool CSubsystemHooks::IsVirtualPortReady() const {
    return g_nVirtualPortReady.load() != 0;
}

void CSubsystemHooks::ShowSettingsPage(CMainFrame& frame) {
    IUserDialogs* pDialogs = frame.GetDialogs();
    if (pDialogs != nullptr) RunVirtualPortSettingsPage(*pDialogs, *this);
}

bool CSubsystemHooks::IsPassThroughActive() {
    return g_nPassThroughMode.load() != 0;
}

void CSubsystemHooks::SwitchVirtualPortOff() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    RemoveService();
}

void CSubsystemHooks::RemoveVirtualPort() {
    // From here on the set-up thread, should it still run, reports nowhere.
    m_report.Attach(nullptr);
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    RemoveVirtualPortAtExit();
}

int CSubsystemServices::StartPassThrough(IOperationReport&, const std::string& strDescription) {
    return ::StartPassThrough(strDescription, m_report);
}

int CSubsystemServices::StopPassThrough(IOperationReport&) {
    return ::StopPassThrough();
}

int CSubsystemServices::IsEditorInstalled(const std::string& strDir) {
    return ::IsEditorInstalled(strDir);
}

int CSubsystemServices::LaunchDownloadTool(const std::string& strDescription) {
    return ::LaunchDownloadTool(strDescription);
}

int CSubsystemServices::GetEditorVersion(const std::string& strDir, std::string* pVersion) {
    return ::GetEditorVersion(pVersion, strDir);
}

int CSubsystemHooks::ImportBranding(IUserDialogs& dialogs) {
    return ::ImportBranding(
        [&dialogs](std::string* pPath) { return AskForPackageFile(dialogs, pPath); });
}

bool CSubsystemHooks::ImportCertificate(IUserDialogs& dialogs) {
    return ImportCertificateCommand(dialogs);
}

void CSubsystemHooks::CheckForUpdates(CMainFrame& frame, bool bFromAboutBox) {
    IUserDialogs* pDialogs = frame.GetDialogs();
    if (pDialogs == nullptr) return;
    if (!::CheckForUpdates(*pDialogs) && bFromAboutBox) {
        ShowLocalizedMessage(*pDialogs, "is_up_to_date", MessageBoxStyle::kOk);
    }
}

void CSubsystemHooks::RestartProgram() {
    const std::string strDir = platform::GetProgramDirectory();
    platform::SpawnDetached({BrandedProgramPath(), m_restartArgs, {}, strDir});
}
