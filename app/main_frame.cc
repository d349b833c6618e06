#include "app/main_frame.h"

#include "bridge/command_dispatcher.h"
#include "bridge/command_state.h"
#include "bridge/command_worker.h"
#include "bridge/page_script.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/localized_strings.h"
#include "support/settings.h"
#include "support/xml_document.h"

CMainFrame::CMainFrame(const CBridgeServices& services, CWorkerTiming timing, IAppHooks* pHooks)
    : m_services(CompleteBridgeServices(services)),
      m_timing(timing),
      m_pHooks(pHooks != nullptr ? pHooks : &m_noHooks) {
    const std::string dir = platform::GetProgramDirectory();
    m_strFirstPage = platform::JoinPath(platform::JoinPath(dir, "html"), "first_page.html");
    m_strHomePage = ReadHomePageUrl();
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    InitCommandStateForMainWindow();
}

CMainFrame::~CMainFrame() { StopWorker(); }

void CMainFrame::AttachPage(IPageSink* pPage) {
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    m_pPage = pPage;
}

void CMainFrame::AttachDialogs(IUserDialogs* pDialogs) { m_pDialogs = pDialogs; }

void CMainFrame::AttachView(IMainView* pView) {
    m_pView = pView;
    m_bViewShowsPage = false;
}

int CMainFrame::DispatchCommand(const std::string& v1, const std::string& v2) {
    return DispatchPageCommand(*this, v1, v2);
}

void CMainFrame::RunPageScript(const std::string& text, int nMode) {
    IPageSink* pPage = m_pPage.load();
    if (pPage == nullptr) return;  // no page yet: dropped silently
    const std::string script = MakePageScript(text, nMode);
    if (!script.empty()) pPage->ExecuteScript(script, m_strFirstPage, 0);
}

bool CMainFrame::AskYesNo(const std::string& textKey) {
    IUserDialogs* pDialogs = m_pDialogs.load();
    return pDialogs != nullptr &&
           ShowLocalizedMessage(*pDialogs, textKey, MessageBoxStyle::kYesNo);
}

bool CMainFrame::ShowMessage(const std::string& text, bool bYesNo) {
    IUserDialogs* pDialogs = m_pDialogs.load();
    return pDialogs != nullptr &&
           pDialogs->ShowMessageBox(text, GetLocalizedString("alert_title"),
                                    bYesNo ? MessageBoxStyle::kYesNo : MessageBoxStyle::kOk,
                                    g_wLangId);
}

bool CMainFrame::SetClipboardText(const std::string& text) {
    IUserDialogs* pDialogs = m_pDialogs.load();
    return pDialogs != nullptr && pDialogs->SetClipboardText(text);
}

bool CMainFrame::IsFirstPageShown() const { return m_bFirstPageShown.load(); }

bool CMainFrame::IsPageReady() const {
    IPageSink* pPage = m_pPage.load();
    return pPage != nullptr && !pPage->IsLoading();
}

void CMainFrame::ShowHomePage() {
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    if (m_bFirstPageShown.load()) RunPageScript("SaveSetting();", kScriptRaw);
    m_bFirstPageShown = false;
}

void CMainFrame::ShowFirstPage() {
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    if (!m_bFirstPageShown.load()) g_bOfferUpload = 1;
    m_bFirstPageShown = true;
    g_strLinkType = kLinkUsb;
    g_strBoxAddr.clear();
    g_nPendingCmd = kCmdAfterPageSwitch;
    g_bNeedDetect = 1;
    g_bDetectFailShown = 0;
}

void CMainFrame::ShowStartPage() {
    {
        std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
        m_bFirstPageShown = false;
    }
    ShowInView(m_strHomePage);
}

void CMainFrame::ShowInView(const std::string& page) {
    if (m_pView == nullptr) return;
    const bool bReload = m_bViewShowsPage && page == m_strViewUrl;
    m_bViewShowsPage = true;
    m_strViewUrl = page;
    m_pView->ShowUrl(page, bReload);
}

std::string CMainFrame::GetCurrentPage() const {
    return m_bFirstPageShown.load() ? m_strFirstPage : m_strHomePage;
}

void CMainFrame::OnCommand(int nCommandId) {
    switch (nCommandId) {
        case kCmdShowHomePage:
            ShowHomePage();
            return ShowInView(m_strHomePage);
        case kCmdShowFirstPage:
            ShowFirstPage();
            return ShowInView(m_strFirstPage);
        case kCmdSettingsPage:
            return OpenSettingsPage();
        case kCmdAboutBox:
            return ShowAboutBox();
        default:
            return;
    }
}

void CMainFrame::OpenSettingsPage() {
    if (!m_pHooks->IsVirtualPortReady()) return ShowMessageKey("init_virtual_port");
    m_pHooks->ShowSettingsPage(*this);
    // A branding import from the settings page asks for a restart: the window closes.
    if (g_bRestartAfterImport && Close()) return;
    const std::string homePage = ReadHomePageUrl();
    if (homePage == m_strHomePage) return;
    // The settings may have moved the home page: show the new one.
    m_strHomePage = homePage;
    OnCommand(kCmdShowHomePage);
    SetStatusText(GetLocalizedString("statu_ready"));
}

void CMainFrame::ShowAboutBox() {
    if (m_pView != nullptr) m_pView->ShowAboutBox(MakeAboutInfo());
}

void CMainFrame::OnCheckForUpdates() { m_pHooks->CheckForUpdates(*this, true); }

void CMainFrame::OnCloseCommand() { Close(); }

bool CMainFrame::Close() {
    if (g_appSettings.nServer != 0) {
        if (m_pHooks->IsPassThroughActive() && !AskYesNo("reinstall_msg")) return false;
        m_pHooks->SwitchVirtualPortOff();
    }
    if (m_pView != nullptr) m_pView->CloseWindow();
    return true;
}

void CMainFrame::SetStatusText(const std::string& text) {
    IUserDialogs* pDialogs = m_pDialogs.load();
    if (pDialogs != nullptr) pDialogs->ShowStatusText(text);
}

void CMainFrame::ShowMessageKey(const std::string& textKey) {
    IUserDialogs* pDialogs = m_pDialogs.load();
    if (pDialogs != nullptr) ShowLocalizedMessage(*pDialogs, textKey, MessageBoxStyle::kOk);
}

void CMainFrame::StartWorker() {
    if (m_worker.joinable()) return;
    m_bStop = false;
    m_worker = std::thread(CommandWorker, this);
}

void CMainFrame::StopWorker() {
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_bStop = true;
    }
    m_stopSignal.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

bool CMainFrame::WaitMs(unsigned nMs) {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(nMs),
                                  [this] { return m_bStop.load(); });
}

std::string ReadHomePageUrl() {
    XmlDocument doc;
    const std::string path = platform::JoinPath(
        platform::JoinPath(platform::GetProgramDirectory(), "html"), "Default.xml");
    if (!doc.LoadFile(path)) return "";
    if (!doc.FindSibling("KorixSet") || !doc.FindChild("BaseSet")) return "";
    return doc.GetChildAttribute("URL2");
}

CAboutInfo MakeAboutInfo() {
    CAboutInfo info;
    info.strName = g_appSettings.szName;
    info.strVersion = GetSoftwareVersion();
    info.strBuild = std::string("Build:") + __DATE__;
    info.strCompany = g_appSettings.szComp;
    info.bReduced = g_appSettings.nOem != 0 || g_appSettings.nAppMode == 1;
    return info;
}
