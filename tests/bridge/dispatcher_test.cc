#include "tests/bridge/bridge_fixture.h"
#include "bridge/page_call.h"
#include "support/settings.h"
#include "platform/codepage.h"
#include "platform/profile.h"

namespace {

const std::string kSep = "\x02";

TEST_F(BridgeTest, MainWindowStartsWithTheLinkTypeQueryPending) {
    EXPECT_EQ(g_nPendingCmd, 11);
    EXPECT_EQ(g_strLinkType, "USB:Download");
    EXPECT_EQ(g_bDetectFailShown, 0);
    EXPECT_EQ(g_bOfferUpload, 1);
}

TEST_F(BridgeTest, OnlyTheLastOfTwoQuickCommandsRuns) {
    frame.DispatchCommand("4", "");
    frame.DispatchCommand("5", "");
    Pass();
    EXPECT_EQ(box.CountCalls("CopyMachineCode"), 0u);
    EXPECT_EQ(box.CountCalls("TestBoxNetwork"), 1u);
    EXPECT_EQ(g_nPendingCmd, kNoCommand);
    Pass();
    EXPECT_EQ(box.CountCalls("TestBoxNetwork"), 1u);
}

TEST_F(BridgeTest, EachWorkerCommandRunsItsOperationAfterDisablingThePage) {
    g_nBoxMode = 0;
    frame.DispatchCommand("22", "China Standard Time");
    Pass();
    frame.DispatchCommand("1", "");
    Pass();
    frame.DispatchCommand(" +16", "3");
    Pass();
    frame.DispatchCommand("18", "");
    Pass();
    frame.DispatchCommand("13", "");
    Pass();
    const std::vector<std::string> calls = box.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SyncBoxTime(China Standard Time)"),
              calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetBoxMode(3)"), calls.end());
    EXPECT_EQ(box.CountCalls("FlashBoxLight"), 1u);
    EXPECT_EQ(box.CountCalls("UpdateBoxFirmware"), 1u);
    EXPECT_GE(page.Count("DisableOperate(true);"), 4u);
}

TEST_F(BridgeTest, CommandNumbersAreReadLikeTheCLibraryReadsThem) {
    EXPECT_EQ(ReadCommandNumber("3"), 3);
    EXPECT_EQ(ReadCommandNumber("  12abc"), 12);
    EXPECT_EQ(ReadCommandNumber("-1"), -1);
    EXPECT_EQ(ReadCommandNumber("abc"), 0);
    EXPECT_EQ(ReadCommandNumber(""), 0);
    EXPECT_EQ(ReadCommandNumber("99999999999999"), 2147483647);
}

TEST_F(BridgeTest, OnlyLinkCommandsRequestIdentification) {
    frame.DispatchCommand("12", "");
    EXPECT_EQ(g_nPendingCmd, 12);
    EXPECT_EQ(g_bNeedDetect, 0);
    EXPECT_EQ(g_strBoxAddr, "");
    frame.DispatchCommand("12", "127.0.0.5");
    EXPECT_EQ(g_bNeedDetect, 1);
    EXPECT_EQ(g_strBoxAddr, "127.0.0.5");
    frame.DispatchCommand("6", "");
    EXPECT_EQ(g_bNeedDetect, 0);
    frame.DispatchCommand("11", "LocalNetwork");
    EXPECT_EQ(g_bNeedDetect, 1);
    EXPECT_EQ(g_strLinkType, "LocalNetwork");
    Pass();
    EXPECT_EQ(box.CountCalls("OpenTcpLink(127.0.0.5)"), 1u);
}

TEST_F(BridgeTest, FailedConfigurationSaveShowsTheMessageAndLeavesThePendingSlot) {
    frame.DispatchCommand("5", "");
    EXPECT_EQ(frame.DispatchCommand("0", ""), 2);
    EXPECT_EQ(g_nPendingCmd, 5);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].strText, "Saving \"setup\" failed");
    EXPECT_EQ(dialogs.messages[0].strCaption, "Notice");
    EXPECT_EQ(g_szTransferPath, dir.PathOf("setup.xml"));
    // Command 9 fails silently and leaves the transfer path alone.
    g_szTransferPath = "/elsewhere";
    EXPECT_EQ(frame.DispatchCommand("9", "a" + kSep), 0);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(g_szTransferPath, "/elsewhere");
}

TEST_F(BridgeTest, SavedConfigurationIsThenWrittenToTheBox) {
    WriteTemplate();
    EXPECT_EQ(frame.DispatchCommand("0", "Net" + kSep + "Ip" + kSep + "10.0.0.9" + kSep), 0);
    EXPECT_EQ(g_nPendingCmd, 3);
    Pass();
    EXPECT_EQ(box.CountCalls("DownloadConfigToBox(setup.xml," + dir.PathOf("setup.xml") + ")"),
              1u);
    EXPECT_NE(dir.ReadFile("setup.xml").find("10.0.0.9"), std::string::npos);
}

TEST_F(BridgeTest, PageTextThatIsNotUtf8IsDecodedBeforeItReachesTheConfiguration) {
    WriteTemplate();
    platform::SetLegacyCodePage("CP1252");
    EXPECT_EQ(frame.DispatchCommand("9", "BaseSet" + kSep + "Name" + kSep + "caf\xE9" + kSep), 0);
    const std::string saved = dir.ReadFile("setup.xml");
    EXPECT_TRUE(platform::IsValidUtf8(saved));
    EXPECT_NE(saved.find("Name=\"caf\xC3\xA9\""), std::string::npos) << saved;
}

TEST_F(BridgeTest, ConfigurationUploadUsesTheLocalSetupAndNoPassword) {
    g_strUploadPassword = "old";
    frame.DispatchCommand("2", "ignored");
    Pass();
    EXPECT_EQ(box.CountCalls("UploadConfigFromBox(setup.xml," + dir.PathOf("setup.xml") + ",)"),
              1u);
}

TEST_F(BridgeTest, CloudProjectSavePathGetsTheExtensionUnlessItEndsInItExactly) {
    dialogs.AnswerNextFileDialog("/data/a.zcpj");
    dialogs.AnswerNextFileDialog("/data/b");
    dialogs.AnswerNextFileDialog("/data/c.ZCPJ");
    frame.DispatchCommand("15", "secret");
    EXPECT_EQ(g_szTransferPath, "/data/a.zcpj");
    EXPECT_EQ(g_strUploadPassword, "secret");
    frame.DispatchCommand("15", "secret");
    EXPECT_EQ(g_szTransferPath, "/data/b.zcpj");
    frame.DispatchCommand("15", "secret");
    EXPECT_EQ(g_szTransferPath, "/data/c.ZCPJ.zcpj");
    ASSERT_EQ(dialogs.fileRequests.size(), 3u);
    EXPECT_FALSE(dialogs.fileRequests[0].bOpen);
    EXPECT_TRUE(dialogs.fileRequests[0].bOverwritePrompt);
    EXPECT_EQ(dialogs.fileRequests[0].strFilter, "Cloud Project(*.zcpj)|*.zcpj||");
    Pass();
    EXPECT_EQ(box.CountCalls("UploadConfigFromBox(cloudprj.zcpj,/data/c.ZCPJ.zcpj,secret)"), 1u);
}

TEST_F(BridgeTest, CancelledOrOverlongProjectPathLeavesThePendingSlot) {
    frame.DispatchCommand("5", "");
    EXPECT_EQ(frame.DispatchCommand("14", ""), 1);  // no answer: cancelled
    EXPECT_EQ(g_nPendingCmd, 5);
    dialogs.AnswerNextFileDialog("/" + std::string(255, 'p'));
    EXPECT_EQ(frame.DispatchCommand("15", ""), 1);  // 256 + ".zcpj" does not fit
    EXPECT_EQ(g_nPendingCmd, 5);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].strText, "Path too long");
    dialogs.AnswerNextFileDialog("/data/p.zcpj");
    EXPECT_EQ(frame.DispatchCommand("14", ""), 0);
    EXPECT_TRUE(dialogs.fileRequests.back().bFileMustExist);
    Pass();
    EXPECT_EQ(box.CountCalls("DownloadConfigToBox(cloudprj.zcpj,/data/p.zcpj)"), 1u);
}

TEST_F(BridgeTest, PassThroughCommandsActAtOnce) {
    frame.DispatchCommand("5", "");
    frame.DispatchCommand("7", "{\"mode\":1}");
    frame.DispatchCommand("8", "");
    EXPECT_EQ(g_nPendingCmd, 5);
    EXPECT_EQ(box.CountCalls("StartPassThrough({\"mode\":1})"), 1u);
    EXPECT_EQ(box.CountCalls("StopPassThrough"), 1u);
}

TEST_F(BridgeTest, WifiCommandsRememberAndForgetNetworks) {
    dir.WriteFile("WifiList.xml", "<WifiList></WifiList>");
    frame.DispatchCommand("19", "Plant" + kSep + "pw1");
    EXPECT_EQ(g_nPendingCmd, 19);
    frame.DispatchCommand("19", "Yard" + kSep);  // no password
    frame.DispatchCommand("19", kSep + "orphan");  // no name: refused
    frame.DispatchCommand("19", std::string(300, 'x') + kSep + "pw");  // too long: refused
    std::string list = dir.ReadFile("WifiList.xml");
    EXPECT_NE(list.find("pw1"), std::string::npos);
    EXPECT_NE(list.find("Yard"), std::string::npos);
    EXPECT_EQ(list.find("orphan"), std::string::npos);
    EXPECT_EQ(list.find("xxxx"), std::string::npos);
    frame.DispatchCommand("20", "Plant");
    list = dir.ReadFile("WifiList.xml");
    EXPECT_EQ(list.find("Plant"), std::string::npos);
    EXPECT_NE(list.find("Yard"), std::string::npos);
}

TEST_F(BridgeTest, FirstRunCommandClearsTheFlagInTheSettingsFile) {
    dir.WriteFile("SoftLang.ini", "[HMI]\nfirst=1\n");
    LoadSettings();
    frame.DispatchCommand("21", "");
    EXPECT_EQ(g_bFirstRun, 0);
    EXPECT_EQ(platform::GetProfileInt("HMI", "first", 9, dir.PathOf("SoftLang.ini")), 0);
    EXPECT_EQ(g_nPendingCmd, 21);
}

TEST_F(BridgeTest, ProcessMessagesNeedExactlyTwoArgumentsAndReadNonStringsAsEmpty) {
    WriteTemplate();
    frame.DispatchCommand("5", "");
    EXPECT_TRUE(OnPageProcessMessage(frame, "jsInvokeCPlusPlus", {std::string("3")}));
    EXPECT_EQ(g_nPendingCmd, 5);  // one argument: ignored
    EXPECT_FALSE(OnPageProcessMessage(frame, "other", {std::string("3"), std::string("")}));
    EXPECT_EQ(g_nPendingCmd, 5);
    // The script number 3 arrives as an integer: it reads as command 0 (save, then write).
    const std::string fields = "Net" + kSep + "Ip" + kSep + "2.2.2.2" + kSep;
    EXPECT_TRUE(OnPageProcessMessage(frame, "jsInvokeCPlusPlus", {3, fields}));
    EXPECT_EQ(g_nPendingCmd, 3);
    EXPECT_NE(dir.ReadFile("setup.xml").find("2.2.2.2"), std::string::npos);
}

}  // namespace
