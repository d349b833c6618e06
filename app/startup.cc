#include "app/startup.h"

#include <ostream>

#include "app/main_frame.h"
#include "package/branding_import.h"
#include "platform/program_dir.h"
#include "platform/thread_util.h"
#include "platform/time_zone.h"
#include "support/localized_strings.h"
#include "support/settings.h"

void LoadStartupSettings(IAppHooks& hooks) {
    LoadSettings();
    hooks.LoadHmiSettings();
    const platform::CSystemTimeZone zone = platform::ReadSystemTimeZone();
    g_appSettings.tzInfo.nBias = zone.nBiasMinutes;
    g_appSettings.tzInfo.strStandardName = zone.strStandardName;
    g_appSettings.tzInfo.strDaylightName = zone.strDaylightName;
}

bool InstallGivenPackage(const std::string& strCert, std::ostream& err) {
    if (strCert.empty() || InstallPackage(strCert) == 0) return true;
    err << strCert << ": " << GetLocalizedString("cert_import_error") << "\n";
    return false;
}

bool ImportBrandingWithoutDialog(const std::string& strCert, std::ostream& err) {
    if (g_appSettings.nOem == 0) return true;
    if (!InstallGivenPackage(strCert, err)) return false;
    if (ImportBranding(nullptr) < 0) {
        err << GetLocalizedString("cert_missing") << "\n";
        return false;
    }
    return true;
}

CZELVOApp::CZELVOApp(CAppOptions options, const CAppParts& parts)
    : m_options(std::move(options)),
      m_hooks(parts.pHooks != nullptr ? *parts.pHooks : m_noHooks),
      m_frontend(parts.frontend),
      m_browsers(parts.browsers),
      m_loop(parts.loop),
      m_out(parts.out) {}

CZELVOApp::~CZELVOApp() = default;

int CZELVOApp::Run() {
    if (InitInstance()) RunMainWindow();
    ExitInstance();
    return m_nExitCode;
}

void CZELVOApp::RequestClose() {
    std::lock_guard<std::mutex> lock(m_frameMutex);
    if (m_pFrame == nullptr) return m_loop.Quit();
    CMainFrame* pFrame = m_pFrame;
    // Tasks run only inside the loop, while the window exists.
    m_loop.Post([pFrame] { pFrame->OnCloseCommand(); });
}

bool CZELVOApp::InitInstance() {
    // Sockets need no start-up here.
    LoadStartupSettings(m_hooks);
    // A second instance ends without a word; a lock that cannot be made does not stop us.
    if (m_lock.Acquire("ZELVOSegment") == platform::InstanceLock::kAlreadyHeld) {
        return false;
    }
    // The frontend comes up before the branding import, whose questions it shows.
    if (!StartFrontend()) {
        m_nExitCode = 1;
        return false;
    }
    if (g_appSettings.nOem != 0 && m_hooks.ImportBranding(m_frontend.Dialogs()) < 0) {
        m_nExitCode = 1;
        return false;
    }
    // A restart after the import happens at shutdown; a termination request ends here too.
    return !g_bRestartAfterImport && !m_loop.HasQuit();
}

bool CZELVOApp::StartFrontend() {
    if (!m_frontend.Start(platform::GetProgramDirectory(), m_options.nPort)) return false;
    m_bFrontendStarted = true;
    const std::string url = m_frontend.GetUrl();
    m_out << "ZELVO UI: " << url << std::endl;
    if (!m_options.bOpenBrowser) return true;
    // The browser that shows our pages is chosen the same way as the one for outside
    // addresses, so the installed browsers are found now rather than after the window.
    DetectBrowsers();
    m_browsers.OpenUi(url);
    return true;
}

void CZELVOApp::DetectBrowsers() {
    if (m_bBrowsersDetected) return;
    m_bBrowsersDetected = true;
    m_browsers.DetectBrowsers();
}

void CZELVOApp::RunMainWindow() {
    CMainFrame frame(m_options.services, m_options.timing, &m_hooks);
    OpenWindow(frame);
    m_hooks.StartVirtualPortSetup(frame);
    DetectBrowsers();
    if (g_appSettings.nAppMode == 0 && g_appSettings.nOem == 0) {
        m_hooks.CheckForUpdates(frame, false);
    }
    // The view's CloseWindow ends the loop.
    m_loop.Run();
    platform::SleepMs(2);
    m_hooks.RemoveVirtualPort();
    RemoveWindow(frame);
}

void CZELVOApp::OpenWindow(CMainFrame& frame) {
    frame.AttachPage(&m_frontend.Page());
    frame.AttachDialogs(&m_frontend.Dialogs());
    frame.AttachView(&m_frontend.View());
    m_frontend.AttachWindow(&frame);
    {
        std::lock_guard<std::mutex> lock(m_frameMutex);
        m_pFrame = &frame;
    }
    // The home page is current before the worker starts, which idles until the box tools page.
    frame.ShowStartPage();
    frame.StartWorker();
}

void CZELVOApp::RemoveWindow(CMainFrame& frame) {
    {
        std::lock_guard<std::mutex> lock(m_frameMutex);
        m_pFrame = nullptr;
    }
    // The frontend goes before the worker: stopping it answers a question the worker may be
    // waiting on, and from then on the worker's reports and questions go nowhere.
    m_frontend.AttachWindow(nullptr);
    frame.AttachPage(nullptr);
    frame.AttachDialogs(nullptr);
    StopFrontend();
    frame.StopWorker();
    frame.AttachView(nullptr);
}

void CZELVOApp::StopFrontend() {
    if (!m_bFrontendStarted) return;
    m_bFrontendStarted = false;
    m_frontend.Stop();
}

void CZELVOApp::ExitInstance() {
    StopFrontend();
    // The lock goes first, so that the program started again can take it.
    m_lock.Release();
    if (g_bRestartAfterImport) m_hooks.RestartProgram();
}
