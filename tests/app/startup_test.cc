// Start-up and shutdown with recording collaborators: the order of the steps and the rules that
// end the program early; termination requests.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <future>
#include <sstream>

#include "app/main_frame.h"
#include "platform/signals.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/recording_shell.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

const std::string kUrl = "http://127.0.0.1:1/?token=t";

// The frontend and the desktop's browsers in one, writing to the step list.
class CFakeFrontend : public IAppFrontend, public IDesktopBrowsers {
public:
    CFakeFrontend(CStepLog& log, CUiLoop& loop) : m_log(log), m_view(log, &loop) {}
    bool Start(const std::string&, int) override { return Step("Start", bStartOk); }
    void Stop() override { Step("Stop"); }
    std::string GetUrl() const override { return kUrl; }
    IPageSink& Page() override { return m_page; }
    IUserDialogs& Dialogs() override { return m_dialogs; }
    IMainView& View() override { return m_view; }
    void AttachWindow(CMainFrame* pFrame) override { Step(pFrame ? "Attach" : "Detach"); }
    void DetectBrowsers() override { Step("DetectBrowsers"); }
    void OpenUi(const std::string& strUrl) override { Step(strUrl == kUrl ? "OpenUi" : "?"); }

    bool bStartOk = true;

private:
    bool Step(const char* szName, bool bResult = true) {
        m_log.push_back(szName);
        return bResult;
    }
    CStepLog& m_log;
    CRecordingPage m_page;
    CScriptedDialogs m_dialogs;
    CRecordingView m_view;
};

TEST(StartupTest, StepsRunInOrderAndEarlyEndsSkipTheWindow) {
    // "W" stands for the window's steps, "T" for its removal.
    const CStepLog window = {"Attach", "show http://127.0.0.1/home", "StartVirtualPortSetup"};
    const CStepLog teardown = {"close", "RemoveVirtualPort", "Detach", "Stop"};
    const struct {
        int nOem, nMode, nImport;  // nImport 1: the import asks for a restart
        bool bBrowser, bStarts, bOtherInstance, bEarlyQuit;
        int nExit;
        CStepLog steps;
    } cases[] = {
        {0, 0, 0, true, true, false, false, 0,
         {"Start", "DetectBrowsers", "OpenUi", "W", "CheckForUpdates(start)", "T"}},
        {1, 0, 0, false, true, false, false, 0,
         {"Start", "ImportBranding", "W", "DetectBrowsers", "T"}},
        {0, 1, 0, false, true, false, false, 0, {"Start", "W", "DetectBrowsers", "T"}},
        {1, 0, -1, false, true, false, false, 1, {"Start", "ImportBranding", "Stop"}},
        {1, 0, 1, false, true, false, false, 0,
         {"Start", "ImportBranding", "Stop", "RestartProgram"}},
        {0, 0, 0, true, true, true, false, 0, {}},
        {0, 0, 0, true, false, false, false, 1, {"Start"}},
        {0, 0, 0, false, true, false, true, 0, {"Start", "Stop"}},
    };
    for (const auto& c : cases) {
        CTempProgramDir dir;
        dir.WriteFile("SoftLang.ini", "[HMI]\noem=" + std::to_string(c.nOem) +
                                          "\nmode=" + std::to_string(c.nMode) + "\n");
        dir.WriteFile("html/Default.xml",
                      "<KorixSet><BaseSet URL2=\"http://127.0.0.1/home\"/></KorixSet>");
        CScopedVariable runtimeDir("XDG_RUNTIME_DIR", dir.Path());  // the lock file goes there
        platform::CSingleInstanceLock other;
        if (c.bOtherInstance) other.Acquire("ZELVOSegment");
        CStepLog log;
        CUiLoop loop;
        CFakeFrontend frontend(log, loop);
        frontend.bStartOk = c.bStarts;
        CRecordingAppHooks hooks(log);
        hooks.nImportResult = c.nImport < 0 ? -1 : 0;
        hooks.bImportAsksRestart = c.nImport == 1;
        CFakeBoxServices box;
        CAppOptions options;
        options.bOpenBrowser = c.bBrowser;
        options.services = box.Services();
        std::ostringstream out;
        CZELVOApp app(options, CAppParts{&hooks, frontend, frontend, loop, out});
        if (c.bEarlyQuit) app.RequestClose();
        // Once the window is up, a termination request closes it through the main loop.
        hooks.onSetup = [&](CMainFrame&) { app.RequestClose(); };

        EXPECT_EQ(app.Run(), c.nExit);
        g_bRestartAfterImport = 0;
        CStepLog expected = {"LoadHmiSettings"};
        for (const std::string& step : c.steps) {
            const CStepLog part = step == "W" ? window : step == "T" ? teardown : CStepLog{step};
            expected.insert(expected.end(), part.begin(), part.end());
        }
        EXPECT_EQ(log, expected);
        const bool bAnnounced = c.bStarts && !c.bOtherInstance;
        EXPECT_EQ(out.str(), bAnnounced ? "ZELVO UI: " + kUrl + "\n" : "");
    }
}

TEST(StartupTest, FirstTerminationRequestIsACallAndTheSecondEndsTheProcess) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows delivers termination requests as console control events, which reach "
                    "every process of the console, and a test process cannot end by a signal";
#else
    EXPECT_EXIT(
        {
            std::promise<void> requested;
            platform::HandleTerminationRequests([&] {
                std::fputs("close requested\n", stderr);
                requested.set_value();
            });
            kill(getpid(), SIGINT);
            requested.get_future().wait();
            kill(getpid(), SIGTERM);
            for (;;) pause();
        },
        testing::KilledBySignal(SIGTERM), "close requested");
#endif
}

}  // namespace
