#include "tests/bridge/bridge_fixture.h"

namespace {

const std::string kFailLine = "AddText(\"Cannot reach the box\");";

TEST_F(BridgeTest, FailureIsReportedOnTheTenthFailedOpeningAndNotAgainUntilASuccess) {
    box.bLinkOpens = false;
    Passes(9);
    EXPECT_EQ(page.Count(kFailLine), 0u);
    Pass();
    EXPECT_EQ(page.Count(kFailLine), 1u);
    EXPECT_EQ(page.Count("DisableOperate(true);"), 1u);
    EXPECT_EQ(g_nPendingCmd, 11);  // still waiting for the box
    Passes(25);
    EXPECT_EQ(page.Count(kFailLine), 1u);

    box.bLinkOpens = true;
    Pass();  // identifies the box and clears the shown flag
    EXPECT_EQ(box.CountCalls("IdentifyBox"), 1u);
    box.bLinkOpens = false;
    Passes(4);  // the success did not reset the count (5 before it): 9 now
    EXPECT_EQ(page.Count(kFailLine), 1u);
    Passes(6);
    EXPECT_EQ(page.Count(kFailLine), 2u);
}

TEST_F(BridgeTest, IdentifiedBoxIsReportedWithEscapedTypeAndSerialLine) {
    box.strHmiType = "ZEL\"VO</script>";
    Pass();
    const std::vector<std::string> scripts = page.TakeScripts();
    EXPECT_NE(std::find(scripts.begin(), scripts.end(), "DetectBox(\"ZEL\\\"VO\\x3C/script>\", 2);"),
              scripts.end());
    EXPECT_NE(std::find(scripts.begin(), scripts.end(), "AddText(\"SN123\");"), scripts.end());
    EXPECT_EQ(box.CountCalls("LoadBoxRecord"), 1u);
    EXPECT_EQ(g_bNeedDetect, 0);
    // Pending 11 ran as a plain link cycle; the next cycle enables the page.
    Pass();
    EXPECT_EQ(page.TakeScripts(), std::vector<std::string>{"DisableOperate(false);"});
    EXPECT_EQ(box.CountCalls("IdentifyBox"), 1u);
    EXPECT_EQ(page.LastUrl(), frame.GetFirstPagePath());
}

TEST_F(BridgeTest, UnidentifiedBoxStillRunsTheCommandWhenTheSerialExchangeAnswered) {
    box.identify = {false, 1};
    frame.DispatchCommand("11", "USB:Download");
    frame.DispatchCommand("12", "127.0.0.9");  // keeps detection requested
    g_nPendingCmd = 5;
    Pass();
    EXPECT_EQ(page.Count("DetectBox(\"UNKNOWN\", -1);"), 1u);
    EXPECT_EQ(box.CountCalls("TestBoxNetwork"), 1u);

    box.identify = {false, 0};  // no answer to the type query: the command waits
    g_bNeedDetect = 1;
    g_nPendingCmd = 4;
    Pass();
    EXPECT_EQ(box.CountCalls("CopyMachineCode"), 0u);
    EXPECT_EQ(g_nPendingCmd, 4);
}

TEST_F(BridgeTest, DiscoveryIsReportedAndEndsTheCycle) {
    box.strDiscoveryResult = "127.0.0.7,ZELVO\"x";
    frame.DispatchCommand("12", "127.0.0.3");
    frame.DispatchCommand("10", "1");
    EXPECT_EQ(g_nDiscoverArg, 1);
    EXPECT_EQ(PrepareBoxLink(frame), 0);
    EXPECT_EQ(box.CountCalls("DiscoverBoxes(1,127.0.0.3)"), 1u);
    EXPECT_EQ(page.Count("RefreshList(\"127.0.0.7,ZELVO\\\"x\");"), 1u);
    EXPECT_EQ(g_nPendingCmd, kNoCommand);
    EXPECT_EQ(box.CountCalls("IdentifyBox"), 0u);
}

TEST_F(BridgeTest, NothingHappensWhileThePageLoadsOrForAnUnknownLinkType) {
    page.SetLoading(true);
    EXPECT_EQ(PrepareBoxLink(frame), 0);
    EXPECT_EQ(box.CountCalls("IdentifyBox"), 0u);
    EXPECT_TRUE(page.Scripts().empty());
    page.SetLoading(false);
    g_strLinkType = "Serial";
    EXPECT_EQ(PrepareBoxLink(frame), 0);
    EXPECT_EQ(box.CountCalls("Open"), 1u);  // only the loading cycle opened
}

TEST_F(BridgeTest, LocalSetupIsOfferedOnceWhenItExists) {
    dir.WriteFile("setup.xml", "<KorixSet/>");
    Pass();
    Pass();
    EXPECT_EQ(page.Count("ShowUpLoadSetup();"), 1u);
    EXPECT_EQ(g_bOfferUpload, 0);
}

TEST_F(BridgeTest, AfterReturningToTheFirstPageTheBoxIsIdentifiedAgain) {
    frame.StartWorker();
    ASSERT_TRUE(Eventually([&] { return box.CountCalls("IdentifyBox") == 1; }));
    frame.ShowHomePage();
    EXPECT_EQ(page.Count("SaveSetting();"), 1u);
    const size_t nOpens = box.CountCalls("Open");
    {
        std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
        frame.DispatchCommand("11", "LocalNetwork");
        frame.DispatchCommand("5", "");
    }
    // The worker idles while the home page is shown (bounded wait, not a timing assertion).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(box.CountCalls("TestBoxNetwork"), 0u);
    EXPECT_LE(box.CountCalls("Open"), nOpens + 1);
    frame.ShowFirstPage();
    ASSERT_TRUE(Eventually([&] { return box.CountCalls("IdentifyBox") == 2; }));
    EXPECT_EQ(box.CountCalls("TestBoxNetwork"), 0u);  // replaced by the page switch
    frame.StopWorker();
    EXPECT_EQ(g_strLinkType, "USB:Download");
    EXPECT_EQ(box.Calls().back(), "CloseUsbDevice()");
}

TEST_F(BridgeTest, PageScriptModesAndDroppedScripts) {
    frame.RunPageScript("detect_zelvo_failed", kScriptLocalizedLine);
    frame.RunPageScript("say \"hi\"\r\n", kScriptRawLine);
    frame.RunPageScript("Foo();", kScriptRaw);
    frame.RunPageScript("Foo();", 7);
    frame.RunPageScript("unknown_key", kScriptLocalizedLine);
    EXPECT_EQ(page.TakeScripts(),
              (std::vector<std::string>{kFailLine, "AddText(\"say \\\"hi\\\"\\r\\n\");", "Foo();",
                                        "AddText(\"\");"}));
    frame.AttachPage(nullptr);
    frame.RunPageScript("Foo();", kScriptRaw);
    EXPECT_TRUE(page.Scripts().empty());
}

}  // namespace
