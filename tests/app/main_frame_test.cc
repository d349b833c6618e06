// The main window's shell commands: page switches, the settings page and close.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include "bridge/command_state.h"
#include "support/settings.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/recording_shell.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

const std::string kHome = "http://127.0.0.1/home";
const std::string kNewHome = "http://127.0.0.1/other";

void WriteHomePage(const CTempProgramDir& dir, const std::string& url) {
    dir.WriteFile("html/Default.xml", "<KorixSet><BaseSet URL2=\"" + url + "\"/></KorixSet>");
}

struct CShellDir : CTempProgramDir {
    CShellDir() {
        WriteHomePage(*this, kHome);
        WriteStrings("statu_ready=Ready\ninit_virtual_port=Not yet\n");
    }
};

// A window on the home page with a recording view, dialogs and hooks.
struct CShellRig {
    CShellRig() {
        frame.AttachPage(&page);
        frame.AttachDialogs(&dialogs);
        frame.AttachView(&view);
        frame.ShowStartPage();
        log.clear();
    }
    std::string FirstMessage() const {
        return dialogs.messages.empty() ? "" : dialogs.messages[0].strText;
    }

    CShellDir dir;
    CStepLog log;
    CRecordingView view{log};
    CRecordingAppHooks hooks{log};
    CFakeBoxServices box;
    CRecordingPage page;
    CScriptedDialogs dialogs;
    CMainFrame frame{box.Services(), {}, &hooks};
};

TEST(MainFrameTest, PageSwitchesResetTheLinkAndReloadThePageShown) {
    const int kToHome = kCmdShowHomePage, kToFirst = kCmdShowFirstPage;
    const struct {
        std::vector<int> commands;
        CStepLog views;     // " F" at the end stands for the box tools page
        int bOfferUpload;   // after the last command; cleared before each
        size_t nSaveSetting;
    } cases[] = {
        {{kToFirst}, {"show F"}, 1, 0},
        {{kToFirst, kToFirst}, {"show F", "reload F"}, 0, 0},
        {{kToFirst, kToHome}, {"show F", "show " + kHome}, 0, 1},
        {{kToHome}, {"reload " + kHome}, 0, 0},
    };
    for (const auto& c : cases) {
        CShellRig rig;
        for (int nCommand : c.commands) {
            g_bOfferUpload = 0;
            g_strLinkType = kLinkLan;
            g_nPendingCmd = 5;
            rig.frame.OnCommand(nCommand);
        }
        const std::string first = rig.frame.GetFirstPagePath();
        CStepLog views = c.views;
        for (auto& step : views) {
            if (step.ends_with(" F")) step.replace(step.size() - 1, 1, first);
        }
        const bool bFirst = c.commands.back() == kToFirst;
        EXPECT_EQ(rig.log, views);
        EXPECT_EQ(g_bOfferUpload, c.bOfferUpload) << views.back();
        EXPECT_EQ(rig.page.Count("SaveSetting();"), c.nSaveSetting) << views.back();
        EXPECT_EQ(rig.frame.GetCurrentPage(), bFirst ? first : kHome);
        EXPECT_EQ(g_nPendingCmd, bFirst ? kCmdAfterPageSwitch : 5);
        EXPECT_EQ(g_strLinkType, bFirst ? kLinkUsb : kLinkLan);
    }
}

TEST(MainFrameTest, SettingsPageWaitsForThePortAndPicksUpANewHomePage) {
    const struct {
        bool bReady;
        bool bRestart;  // the settings page asks for a restart
        CStepLog steps;
        std::string message;
        std::vector<std::string> statusTexts;
        std::string current;
    } cases[] = {
        {false, false, {}, "Not yet", {}, kHome},
        {true, false, {"ShowSettingsPage", "show " + kNewHome}, "", {"Ready"}, kNewHome},
        {true, true, {"ShowSettingsPage", "close"}, "", {}, kHome},
    };
    for (const auto& c : cases) {
        CShellRig rig;
        rig.hooks.bReady = c.bReady;
        rig.hooks.onSettingsPage = [&](CMainFrame&) {
            WriteHomePage(rig.dir, kNewHome);
            g_bRestartAfterImport = c.bRestart;
        };
        rig.frame.OnCommand(kCmdSettingsPage);
        g_bRestartAfterImport = 0;
        EXPECT_EQ(rig.log, c.steps);
        EXPECT_EQ(rig.FirstMessage(), c.message);
        EXPECT_EQ(rig.dialogs.statusTexts, c.statusTexts);
        EXPECT_EQ(rig.frame.GetCurrentPage(), c.current);
    }
}

TEST(MainFrameTest, CloseAsksOnlyWithAServerAndAnActivePassThrough) {
    const struct {
        int nServer;
        bool bPassThrough;
        bool bAnswer;
        CStepLog steps;
        size_t nQuestions;
    } cases[] = {
        {0, true, true, {"close"}, 0},
        {1, false, true, {"SwitchVirtualPortOff", "close"}, 0},
        {1, true, true, {"SwitchVirtualPortOff", "close"}, 1},
        {1, true, false, {}, 1},
    };
    for (const auto& c : cases) {
        CShellRig rig;
        g_appSettings.nServer = c.nServer;
        rig.hooks.bPassThrough = c.bPassThrough;
        rig.dialogs.bMessageAnswer = c.bAnswer;
        rig.frame.OnCloseCommand();
        EXPECT_EQ(rig.log, c.steps) << c.nServer << c.bPassThrough << c.bAnswer;
        EXPECT_EQ(rig.dialogs.messages.size(), c.nQuestions);
    }
}

}  // namespace
