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

CMainFrame::CMainFrame(const CBridgeServices& services, CWorkerTiming timing)
    : m_services(CompleteBridgeServices(services)), m_timing(timing) {
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
    return m_pDialogs != nullptr &&
           ShowLocalizedMessage(*m_pDialogs, textKey, MessageBoxStyle::kYesNo);
}

bool CMainFrame::ShowMessage(const std::string& text, bool bYesNo) {
    return m_pDialogs != nullptr &&
           m_pDialogs->ShowMessageBox(text, GetLocalizedString("alert_title"),
                                      bYesNo ? MessageBoxStyle::kYesNo : MessageBoxStyle::kOk,
                                      g_wLangId);
}

bool CMainFrame::SetClipboardText(const std::string& text) {
    return m_pDialogs != nullptr && m_pDialogs->SetClipboardText(text);
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
