// The main window's engine state: which page is shown, the frontend it reports to, the
// operations it runs, and the command worker thread. The frontend (web host, terminal) owns
// the presentation and calls in here.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "app/frontend.h"
#include "bridge/bridge_services.h"

// Timing of the command worker.
struct CWorkerTiming {
    unsigned nStartDelayMs = 3000;  // after the main window is created
    unsigned nPassMs = 200;         // between passes
    unsigned nSettleMs = 100;       // short waits inside the link step
};

// RunPageScript modes.
enum : int {
    kScriptLocalizedLine = 0,  // AddText with the localized text of a key
    kScriptRaw = 1,            // the script itself
    kScriptRawLine = 2,        // AddText with the text
};

class CMainFrame {
public:
    // Constructing the main window sets the command state to its start values.
    explicit CMainFrame(const CBridgeServices& services, CWorkerTiming timing = {});
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // A page command: v1 is the command number as decimal text, v2 its argument. Returns 0,
    // 1 when the user cancelled a file dialog, 2 when saving the configuration failed.
    int DispatchCommand(const std::string& v1, const std::string& v2);

    // Runs script in the page: mode 0 a localized line by key, 1 raw script, 2 a raw line.
    // Dropped when no page is attached. Text put into a line is escaped for the script.
    void RunPageScript(const std::string& text, int nMode);

    // Frontend attachment. Neither is owned; both must outlive their use here.
    void AttachPage(IPageSink* pPage);
    void AttachDialogs(IUserDialogs* pDialogs);
    IUserDialogs* GetDialogs() const { return m_pDialogs; }
    const CBridgeServices& GetServices() const { return m_services; }
    const CWorkerTiming& GetTiming() const { return m_timing; }

    // Pages. The worker acts only while the first (box tools) page is shown.
    const std::string& GetFirstPagePath() const { return m_strFirstPage; }
    const std::string& GetHomePageUrl() const { return m_strHomePage; }
    bool IsFirstPageShown() const;
    void ShowHomePage();
    void ShowFirstPage();

    // True while the page exists and has finished loading.
    bool IsPageReady() const;

    // The command worker. StopWorker sets the stop flag and waits for the thread.
    void StartWorker();
    void StopWorker();
    bool IsStopRequested() const { return m_bStop.load(); }
    // Sleeps, waking early when the worker is asked to stop. False when stopping.
    bool WaitMs(unsigned nMs);

private:
    CBridgeServices m_services;
    CWorkerTiming m_timing;
    std::atomic<IPageSink*> m_pPage{nullptr};
    IUserDialogs* m_pDialogs = nullptr;
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
