// The virtual port and panel editor subsystems wired into start-up, the main window and
// shutdown (IAppHooks), and into the page commands (the pass-through and panel editor members
// of CBridgeServices).
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_hooks.h"
#include "bridge/bridge_services.h"
#include "tunnel/settings_page.h"
#include "tunnel/tunnel_context.h"

// Tunnel reports go to the main window while it is attached; afterwards they are dropped, so a
// set-up thread that outlives the window never reaches it.
class CWindowTunnelReport final : public ITunnelReport {
public:
    void Attach(CMainFrame* pFrame);
    void ShowStatusText(const std::string& text) override;
    void ShowErrorText(const std::string& text) override;

private:
    std::mutex m_mutex;
    CMainFrame* m_pFrame = nullptr;
};

class CSubsystemHooks final : public IAppHooks, private ICertificateImport {
public:
    // strRestartArgs: the options that the program started again after an import is given.
    explicit CSubsystemHooks(std::vector<std::string> restartArgs = {})
        : m_restartArgs(std::move(restartArgs)) {}
    // Waits for a set-up thread that is still running (only ever at program end).
    ~CSubsystemHooks() override;

    int ImportBranding(IUserDialogs& dialogs) override;
    void LoadHmiSettings() override;
    void StartVirtualPortSetup(CMainFrame& frame) override;
    bool IsVirtualPortReady() const override;
    void ShowSettingsPage(CMainFrame& frame) override;
    bool IsPassThroughActive() override;
    void SwitchVirtualPortOff() override;
    void RemoveVirtualPort() override;
    void CheckForUpdates(CMainFrame& frame, bool bFromAboutBox) override;
    void RestartProgram() override;

    // Where the tunnel operations report: the window given to StartVirtualPortSetup.
    ITunnelReport& Report() { return m_report; }

private:
    // The settings page's Import button.
    bool ImportCertificate(IUserDialogs& dialogs) override;

    std::vector<std::string> m_restartArgs;
    CWindowTunnelReport m_report;
    std::thread m_setupThread;
};

// Commands 7 and 8 (pass-through) and 23, 24 and 28 (panel editor). Pass-through errors are
// reported to the main window through the report given.
class CSubsystemServices final : public IPassThrough, public IPanelEditor {
public:
    explicit CSubsystemServices(ITunnelReport& report) : m_report(report) {}
    int StartPassThrough(IOperationReport& report, const std::string& strDescription) override;
    int StopPassThrough(IOperationReport& report) override;
    int IsEditorInstalled(const std::string& strDir) override;
    int LaunchDownloadTool(const std::string& strDescription) override;
    int GetEditorVersion(const std::string& strDir, std::string* pVersion) override;

private:
    ITunnelReport& m_report;
};
