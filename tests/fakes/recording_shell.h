// The main window's surroundings for tests: a view and start-up hooks that write the calls they
// get into one step list, so that tests see the order of steps across both.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/app_hooks.h"
#include "bridge/frontend.h"
#include "bridge/ui_loop.h"
#include "support/settings.h"

using CStepLog = std::vector<std::string>;

// Records "show <url>", "reload <url>", "about" and "close"; closing ends the loop.
class CRecordingView : public IMainView {
public:
    explicit CRecordingView(CStepLog& log, CUiLoop* pLoop = nullptr) : m_log(log), m_pLoop(pLoop) {}
    void ShowUrl(const std::string& url, bool bReload) override {
        m_log.push_back((bReload ? "reload " : "show ") + url);
    }
    void ShowAboutBox(const CAboutInfo&) override { m_log.push_back("about"); }
    void CloseWindow() override {
        m_log.push_back("close");
        if (m_pLoop != nullptr) m_pLoop->Quit();
    }

private:
    CStepLog& m_log;
    CUiLoop* m_pLoop;
};

// Records each step by name and answers from its fields.
class CRecordingAppHooks : public IAppHooks {
public:
    explicit CRecordingAppHooks(CStepLog& log) : m_log(log) {}
    int ImportBranding(IUserDialogs&) override {
        if (bImportAsksRestart) g_bRestartAfterImport = 1;
        return Step("ImportBranding", nImportResult);
    }
    void LoadHmiSettings() override { Step("LoadHmiSettings"); }
    void StartVirtualPortSetup(CMainFrame& frame) override {
        Step("StartVirtualPortSetup", onSetup, frame);
    }
    bool IsVirtualPortReady() const override { return bReady; }
    void ShowSettingsPage(CMainFrame& frame) override {
        Step("ShowSettingsPage", onSettingsPage, frame);
    }
    bool IsPassThroughActive() override { return bPassThrough; }
    void SwitchVirtualPortOff() override { Step("SwitchVirtualPortOff"); }
    void RemoveVirtualPort() override { Step("RemoveVirtualPort"); }
    void CheckForUpdates(CMainFrame&, bool bAbout) override {
        Step(bAbout ? "CheckForUpdates(about)" : "CheckForUpdates(start)");
    }
    void RestartProgram() override { Step("RestartProgram"); }

    int nImportResult = 0;
    bool bImportAsksRestart = false;  // the import sets g_bRestartAfterImport
    bool bReady = true;
    bool bPassThrough = false;
    std::function<void(CMainFrame&)> onSetup;         // runs inside StartVirtualPortSetup
    std::function<void(CMainFrame&)> onSettingsPage;  // runs inside ShowSettingsPage

private:
    int Step(const char* szName, int nResult = 0) {
        m_log.push_back(szName);
        return nResult;
    }
    void Step(const char* szName, const std::function<void(CMainFrame&)>& then,
              CMainFrame& frame) {
        Step(szName);
        if (then) then(frame);
    }
    CStepLog& m_log;
};
