// The main window's engine state: which page is shown, the frontend it reports to, the
// operations it runs, and the command worker thread. The frontend (web host, terminal) owns
// the presentation and calls in here: page commands through IBridgeHost, caption buttons and
// the close command through IShellWindow.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "app/app_hooks.h"
#include "bridge/bridge_host.h"
#include "bridge/shell_window.h"

class CMainFrame final : public IBridgeHost, public IShellWindow {
public:
    // Constructing the main window sets the command state to its start values. The box tools
    // page is current until ShowStartPage. pHooks (not owned) may be null: no virtual port,
    // no update check.
    explicit CMainFrame(const CBridgeServices& services, CWorkerTiming timing = {},
                        IAppHooks* pHooks = nullptr);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // A page command: v1 is the command number as decimal text, v2 its argument. Returns 0,
    // 1 when the user cancelled a file dialog, 2 when saving the configuration failed.
    int DispatchCommand(const std::string& v1, const std::string& v2) override;

    // Runs script in the page: mode 0 a localized line by key, 1 raw script, 2 a raw line.
    // Dropped when no page is attached. Text put into a line is escaped for the script.
    void RunPageScript(const std::string& text, int nMode) override;
    // A Yes/No message box with the localized text; false without a frontend.
    bool AskYesNo(const std::string& textKey) override;
    // A message box with text already in the user's language; false without a frontend.
    bool ShowMessage(const std::string& text, bool bYesNo) override;
    // The clipboard, through the frontend; false without one.
    bool SetClipboardText(const std::string& text) override;

    // Frontend attachment. None is owned; each must outlive its use here.
    void AttachPage(IPageSink* pPage);
    void AttachDialogs(IUserDialogs* pDialogs);
    void AttachView(IMainView* pView);
    IUserDialogs* GetDialogs() const override { return m_pDialogs.load(); }
    const CBridgeServices& GetServices() const override { return m_services; }
    const CWorkerTiming& GetTiming() const override { return m_timing; }

    // Pages. The worker acts only while the first (box tools) page is shown.
    const std::string& GetFirstPagePath() const { return m_strFirstPage; }
    const std::string& GetHomePageUrl() const { return m_strHomePage; }
    bool IsFirstPageShown() const override;
    // The page switches of the caption buttons, without the view (the command state only).
    void ShowHomePage();
    void ShowFirstPage();
    // The window's first view: the home page becomes current and the view shows it.
    void ShowStartPage();

    // IShellWindow (UI thread).
    void OnCommand(int nCommandId) override;
    void OnCloseCommand() override;
    void OnCheckForUpdates() override;
    std::string GetCurrentPage() const override;

    // Requests any thread may make: the status bar text, and a message box by string key
    // that waits for the user.
    void SetStatusText(const std::string& text);
    void ShowMessageKey(const std::string& textKey);

    // True while the page exists and has finished loading.
    bool IsPageReady() const override;

    // The command worker. StopWorker sets the stop flag and waits for the thread.
    void StartWorker();
    void StopWorker();
    bool IsStopRequested() const { return m_bStop.load(); }
    // Sleeps, waking early when the worker is asked to stop. False when stopping.
    bool WaitMs(unsigned nMs) override;

private:
    // Makes the view show the page: a reload ignoring the cache when it shows it already.
    void ShowInView(const std::string& page);
    void OpenSettingsPage();
    void ShowAboutBox();
    // The close rules; false when the user kept the window open.
    bool Close();

    CBridgeServices m_services;
    CWorkerTiming m_timing;
    std::atomic<IPageSink*> m_pPage{nullptr};
    std::atomic<IUserDialogs*> m_pDialogs{nullptr};
    IMainView* m_pView = nullptr;
    IAppHooks* m_pHooks;
    CNoAppHooks m_noHooks;
    bool m_bViewShowsPage = false;
    std::string m_strViewUrl;  // what the view was last told to show
    std::string m_strFirstPage;
    std::string m_strHomePage;
    std::atomic<bool> m_bFirstPageShown{true};
    std::atomic<bool> m_bStop{false};
    std::mutex m_stopMutex;
    std::condition_variable m_stopSignal;
    std::thread m_worker;
};

// The home page address: attribute URL2 of KorixSet/BaseSet in html/Default.xml.
std::string ReadHomePageUrl();

// What the about box shows, from the settings, the release log and the build date.
CAboutInfo MakeAboutInfo();
