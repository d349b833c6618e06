#include "bridge/page_call.h"

#include "tests/bridge/bridge_fixture.h"

namespace {

class PageCallTest : public BridgeTest {
protected:
    CPageCallOutcome Call(const PageValueList& args, const std::string& name = "jsInvokeCPlusPlus") {
        return InvokeNativeFunction(name, args, box, [this](const std::string& n,
                                                            const PageValueList& a) {
            sent.push_back(a);
            OnPageProcessMessage(frame, n, a);
        });
    }
    std::vector<PageValueList> sent;
};

TEST_F(PageCallTest, EditorCommandsAnswerOnThePageSide) {
    box.nEditorInstalled = 1;
    CPageCallOutcome out = Call({std::string("23"), std::string("")});
    EXPECT_TRUE(out.bHasResult);
    EXPECT_EQ(std::get<int>(out.result), 1);
    box.nLaunchResult = -3;
    out = Call({std::string("24"), std::string("{\"com\":\"COM2\"}")});
    EXPECT_EQ(std::get<int>(out.result), -3);
    EXPECT_EQ(box.CountCalls("LaunchDownloadTool({\"com\":\"COM2\"})"), 1u);
    out = Call({std::string("28"), std::string("")});
    EXPECT_TRUE(out.bHandled);
    EXPECT_FALSE(out.bHasResult);
    box.strEditorVersion = "5.3";
    out = Call({std::string("28"), std::string("")});
    EXPECT_EQ(std::get<std::string>(out.result), "5.3");
    EXPECT_TRUE(sent.empty());
}

TEST_F(PageCallTest, VersionIsAnsweredWhenKnownAndForwardedOtherwise) {
    CPageCallOutcome out = Call({std::string("29"), std::string("")});
    EXPECT_TRUE(out.bHandled);
    EXPECT_FALSE(out.bHasResult);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(g_nPendingCmd, 29);  // no operation: one link cycle
    Pass();
    EXPECT_EQ(g_nPendingCmd, kNoCommand);

    dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"Manager V2.1.0\"/></HMISet>");
    out = Call({std::string("29"), std::string("")});
    EXPECT_EQ(std::get<std::string>(out.result), "V2.1.0");
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(PageCallTest, OtherCallsAreForwardedAndOtherFunctionsAreNotHandled) {
    frame.DispatchCommand("5", "");
    CPageCallOutcome out = Call({std::string("3")});
    EXPECT_TRUE(out.bHandled);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(g_nPendingCmd, 5);  // one argument: the program side ignores it
    out = Call({});
    EXPECT_TRUE(out.bHandled);
    EXPECT_EQ(sent.size(), 2u);
    out = Call({std::string("4"), std::string("")}, "somethingElse");
    EXPECT_FALSE(out.bHandled);
    EXPECT_EQ(sent.size(), 2u);
    Call({std::string("4"), std::monostate{}});
    EXPECT_EQ(g_nPendingCmd, 4);
}

}  // namespace
