// Requests on the wire and the reading of replies, against a fake service that misbehaves.
#include <atomic>
#include <thread>

#include "tests/tnl/tnl_fixture.h"
#include "tests/tnl/tnl_system.h"

namespace tnl_test {
namespace {

using TnlProtocolTest = TnlTest;

TEST_F(TnlProtocolTest, AddRequestCarriesTheDocumentWithoutTrailingLineBreak) {
    ASSERT_TRUE(Connect());
    int nId = Create(TNL_TYPE_SERVER);
    ASSERT_TRUE(SetText(nId, "name", "S"));
    ASSERT_TRUE(api.AddConnectionService(nId)) << LastError();
    // The serialised document ends with a line break, which is not sent.
    EXPECT_EQ(LastRequest(),
              "<proto version=\"6.0\"><operation type=\"ADD\"><connection><type>SERVER</type>"
              "<name>S</name><port/><protocol/><network/><security/></connection>"
              "</operation></proto>");
}

TEST_F(TnlProtocolTest, ReplySplitOverManyWritesIsJoined) {
    ASSERT_TRUE(Connect());
    AddClient("A");
    AddClient("B");
    Service().SetFault(tnl_fake::EFault::kSplitReply);
    EXPECT_EQ(List(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(api.DeleteConnection(0)) << LastError();
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"B"});
}

TEST_F(TnlProtocolTest, ReplyLongerThanTheReadSizeIsCollected) {
    ASSERT_TRUE(Connect());
    const std::string kSettings(4000, 'x');
    for (int i = 0; i < 80; ++i) {  // a list reply of about 320 KB
        int nId = Create(TNL_TYPE_CLIENT);
        ASSERT_TRUE(SetText(nId, "port.settings", kSettings));
        ASSERT_TRUE(SetText(nId, "name", "c" + std::to_string(i)));
        ASSERT_TRUE(api.AddConnectionService(nId)) << LastError();
    }
    std::vector<int> ids = List();
    ASSERT_EQ(ids.size(), 80u);
    EXPECT_EQ(GetText(ids[79], "name"), "c79");
    EXPECT_EQ(GetText(ids[79], "port.settings"), kSettings);
}

TEST_F(TnlProtocolTest, ServiceClosingMidReplyFailsTheCall) {
    ASSERT_TRUE(Connect());
    int nId = Create(TNL_TYPE_CLIENT);
    ASSERT_TRUE(SetText(nId, "name", "A"));
    Service().SetFault(tnl_fake::EFault::kCloseMidReply);
    EXPECT_FALSE(api.AddConnectionService(nId));
    EXPECT_EQ(LastError(), kSystemErrors.ulClosedMidReply);

    // The link is broken now; the caller reconnects. The failed add left the record local.
    Service().SetFault(tnl_fake::EFault::kNone);
    CVariant list;
    EXPECT_FALSE(api.GetConnectionsList(list.Get()));
    EXPECT_EQ(LastError(), kSystemErrors.ulBrokenLinkWrite) << "the write fails on the broken link";
    ASSERT_TRUE(api.DisconnectService());
    ASSERT_TRUE(Connect());
    size_t nRequests = Service().RequestCount();
    ASSERT_TRUE(api.DeleteConnection(nId));
    EXPECT_EQ(Service().RequestCount(), nRequests);
}

TEST_F(TnlProtocolTest, StalledServiceBlocksTheCallUntilItAnswers) {
    ASSERT_TRUE(Connect());
    Service().SetFault(tnl_fake::EFault::kStall);
    std::atomic<bool> bDone{false};
    BOOL bResult = 0;
    std::thread caller([&] {
        CVariant list;
        bResult = api.GetConnectionsList(list.Get());
        bDone = true;
    });
    ASSERT_TRUE(Service().WaitForRequests(1, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(bDone) << "there is no time-out";
    Service().SetFault(tnl_fake::EFault::kNone);
    caller.join();
    EXPECT_TRUE(bResult);
}

TEST_F(TnlProtocolTest, StoppedServiceFailsTheBlockedCall) {
    ASSERT_TRUE(Connect());
    Service().SetFault(tnl_fake::EFault::kStall);
    BOOL bResult = 1;
    std::thread caller([&] { bResult = api.DeleteAllConnections(); });
    ASSERT_TRUE(Service().WaitForRequests(1, 5000));
    Service().Stop();
    caller.join();
    EXPECT_FALSE(bResult);
    EXPECT_NE(LastError(), 0u);
}

TEST_F(TnlProtocolTest, NamesWithMarkupOrLineBreaksReachTheServiceIntact) {
    const struct {
        std::string name;
        std::string applyto;
    } kCases[] = {
        {"a&b <\"c\">", "a&amp;b &lt;&quot;c&quot;&gt;"},
        // Attribute normalisation would read raw tabs and line breaks as blanks.
        {"x\ty\r\nz", "x&#9;y&#13;&#10;z"},
    };
    ASSERT_TRUE(Connect());
    for (const auto& c : kCases) {
        int nId = AddClient(c.name);
        EXPECT_EQ(Service().Names(), std::vector<std::string>{c.name});
        List();
        ASSERT_TRUE(api.UpdateConnectionStatus(nId)) << LastError();
        EXPECT_EQ(LastRequest(), "<proto version=\"6.0\"><operation type=\"GETSTAT\" applyto=\"" +
                                     c.applyto + "\" /></proto>");
        ASSERT_TRUE(SetText(nId, "port.name", "COM3"));
        ASSERT_TRUE(api.ApplyConnection(nId)) << LastError();
        ASSERT_TRUE(api.DeleteConnection(nId)) << LastError();
        EXPECT_TRUE(Service().Names().empty());
    }
}

TEST_F(TnlProtocolTest, OnlyAnErrorTypeFailsAReply) {
    ASSERT_TRUE(Connect());
    int nId = AddClient("A");
    Service().SetCannedReply("<proto version=\"6.0\"><operation type=\"STAT\"/></proto>");
    EXPECT_TRUE(api.DeleteConnection(nId)) << LastError();
    Service().SetCannedReply("<proto version=\"6.0\"><operation type=\"error\"/></proto>");
    EXPECT_TRUE(api.DeleteAllConnections()) << "the comparison is case-sensitive";
}

TEST_F(TnlProtocolTest, RepliesWithoutAnOperationTypeFailWith1) {
    ASSERT_TRUE(Connect());
    for (const char* szReply : {"<proto version=\"6.0\"><operation/></proto>",
                                "<proto version=\"6.0\"><result type=\"SUCCESS\"/></proto>",
                                "not xml</proto>", "<proto><operation type=\"SUCCESS\"></proto>"}) {
        Service().SetCannedReply(szReply);
        EXPECT_FALSE(api.DeleteAllConnections()) << szReply;
        EXPECT_EQ(LastError(), TNL_ERROR_NOT_FOUND) << szReply;
    }
}

TEST_F(TnlProtocolTest, ListWithAnUnnamedConnectionChangesNoRecord) {
    ASSERT_TRUE(Connect());
    int nLocal = Create(TNL_TYPE_CLIENT);
    Service().SetCannedReply(
        "<proto version=\"6.0\"><operation type=\"LIST\"><connection><name>x</name></connection>"
        "<connection><type>UDP</type></connection></operation></proto>");
    CVariant list;
    EXPECT_FALSE(api.GetConnectionsList(list.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_FOUND);
    EXPECT_EQ(GetInt(nLocal, "type"), TNL_TYPE_CLIENT) << "the unlisted record is still there";

    Service().SetCannedReply("<proto version=\"6.0\"><operation type=\"LIST\"/></proto>");
    ASSERT_TRUE(api.GetConnectionsList(list.Get()));
    EXPECT_EQ((*list).vt, VT_EMPTY);
    EXPECT_EQ(GetText(nLocal, "name"), "<failed 2>") << "an empty list drops every record";
}

TEST_F(TnlProtocolTest, RepliesAreReadAcrossAllTheirOperations) {
    ASSERT_TRUE(Connect());
    Service().SetCannedReply(
        "<proto version=\"6.0\"><operation type=\"LIST\"><connection><name>a</name>"
        "</connection></operation><operation type=\"LIST\"><connection><name>b</name>"
        "<status><stat sent=\"1\"/></status></connection></operation></proto>");
    EXPECT_EQ(List(), (std::vector<int>{0, 1}));
    EXPECT_EQ(GetText(1, "name"), "b");

    // The first status of the reply counts, though its connection is not the first.
    Service().SetCannedReply(
        "<proto version=\"6.0\"><operation type=\"STAT\"><connection><name>b</name>"
        "</connection><connection><name>b</name><status><stat sent=\"5\"/></status>"
        "</connection></operation></proto>");
    ASSERT_TRUE(api.UpdateConnectionStatus(1)) << LastError();
    EXPECT_EQ(GetInt(1, "status.stat.sent"), 5);
}

}  // namespace
}  // namespace tnl_test
