// The application object: start-up in its fixed order, the main loop, and shutdown. It works
// against its collaborators only (the frontend, the browsers of the desktop, the start-up hooks
// and the main loop), so the whole sequence runs in tests without sockets or browsers.
#pragma once

#include <iosfwd>
#include <mutex>
#include <string>

#include "app/app_hooks.h"
#include "bridge/bridge_host.h"
#include "bridge/frontend.h"
#include "bridge/ui_loop.h"
#include "platform/single_instance.h"

class CMainFrame;

// The frontend that start-up brings up before the main window exists (the web host).
class IAppFrontend {
public:
    virtual ~IAppFrontend() = default;
    // Starts serving the program directory's pages; false when it cannot.
    virtual bool Start(const std::string& strProgramDir, int nPort) = 0;
    virtual void Stop() = 0;
    // The address that shows the user interface.
    virtual std::string GetUrl() const = 0;
    virtual IPageSink& Page() = 0;
    virtual IUserDialogs& Dialogs() = 0;
    virtual IMainView& View() = 0;
    // The main window that page and shell commands go to; null detaches it.
    virtual void AttachWindow(CMainFrame* pFrame) = 0;
};

// The web browsers of the desktop.
class IDesktopBrowsers {
public:
    virtual ~IDesktopBrowsers() = default;
    // Finds the installed browsers and chooses the one for outside addresses.
    virtual void DetectBrowsers() = 0;
    // Opens the program's user interface in the chosen browser.
    virtual void OpenUi(const std::string& strUrl) = 0;
};

struct CAppOptions {
    int nPort = 0;              // the frontend's port; 0: any free port
    bool bOpenBrowser = true;   // open the user interface in a browser at start
    CBridgeServices services;   // the box operations of the main window
    CWorkerTiming timing;
};

struct CAppParts {
    IAppHooks* pHooks;  // null: no branding, virtual port or update check
    IAppFrontend& frontend;
    IDesktopBrowsers& browsers;
    CUiLoop& loop;
    std::ostream& out;  // where the user interface's address is announced
};

class CZELVOApp {
public:
    CZELVOApp(CAppOptions options, const CAppParts& parts);
    ~CZELVOApp();
    CZELVOApp(const CZELVOApp&) = delete;
    CZELVOApp& operator=(const CZELVOApp&) = delete;

    // Start-up, the main loop until the window closes, and shutdown. Returns the exit code:
    // 0, also for a second instance (which ends silently) and for a restart; 1 when the
    // frontend cannot start or the branding import failed.
    int Run();
    // Ctrl+C or a termination request, from any thread: the window's close command on the
    // main loop, or the end of the loop while there is no window yet.
    void RequestClose();

private:
    // The steps before the window; false when the program ends without one.
    bool InitInstance();
    bool StartFrontend();
    void StopFrontend();
    void DetectBrowsers();
    // The window's life: creation, the main loop, and its removal.
    void RunMainWindow();
    void OpenWindow(CMainFrame& frame);
    void RemoveWindow(CMainFrame& frame);
    void ExitInstance();

    CAppOptions m_options;
    CNoAppHooks m_noHooks;
    IAppHooks& m_hooks;
    IAppFrontend& m_frontend;
    IDesktopBrowsers& m_browsers;
    CUiLoop& m_loop;
    std::ostream& m_out;
    platform::CSingleInstanceLock m_lock;
    bool m_bFrontendStarted = false;
    bool m_bBrowsersDetected = false;
    int m_nExitCode = 0;
    std::mutex m_frameMutex;  // guards m_pFrame against RequestClose
    CMainFrame* m_pFrame = nullptr;
};

// Loads what the program reads at start: the settings, the panel editor's settings and the
// machine's time zone.
void LoadStartupSettings(IAppHooks& hooks);

// Installs strCert, when given, as the certificate package after checking that it reads; false,
// with the reason written to err, when it does not.
bool InstallGivenPackage(const std::string& strCert, std::ostream& err);

// The branding import of the frontends that ask no questions (the terminal, the box command
// line): strCert, when given, is checked and installed as the package first. False, with the
// reason written to err, when the file given or the installed package does not read.
bool ImportBrandingWithoutDialog(const std::string& strCert, std::ostream& err);
