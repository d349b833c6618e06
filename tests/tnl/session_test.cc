// The session and the connection records, through the real library and the fake service.
#include "tests/tnl/tnl_fixture.h"
#include "tests/tnl/tnl_system.h"

namespace tnl_test {
namespace {

constexpr const char* kAddDirect =
    "<proto version=\"6.0\"><operation type=\"ADD\"><connection><type>SERVER</type>"
    "<name>%s</name><network/></connection></operation></proto>";

std::string AddRequestFor(const std::string& name) {
    std::string strRequest = kAddDirect;
    return strRequest.replace(strRequest.find("%s"), 2, name);
}

using TnlSessionTest = TnlTest;

TEST_F(TnlSessionTest, ConnectAcceptsOnlyTextAndOnlyOnce) {
    CVariant number(VT_I4, 1);
    EXPECT_FALSE(api.ConnectService(number.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_DATA);
    EXPECT_FALSE(api.ConnectService(nullptr));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_DATA);
    EXPECT_FALSE(api.CreateConnection(TNL_TYPE_CLIENT, nullptr));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED) << "a refused connect leaves no session";

    ASSERT_TRUE(Connect()) << LastError();
    EXPECT_EQ(LastError(), 0u);
    EXPECT_FALSE(Connect());
    EXPECT_EQ(LastError(), TNL_ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(api.DisconnectService());
    EXPECT_TRUE(api.DisconnectService()) << "without a session disconnect does nothing";
    EXPECT_EQ(LastError(), 0u);
    EXPECT_TRUE(Connect()) << LastError();
}

TEST_F(TnlSessionTest, ConnectReportsTheSystemError) {
    Service().Stop();
    EXPECT_FALSE(Connect());
    EXPECT_EQ(LastError(), kSystemErrors.ulNoService);
    if (kSystemErrors.szRemoteServer != nullptr) {
        CVariant remote(kSystemErrors.szRemoteServer);
        EXPECT_FALSE(api.ConnectService(remote.Get()));
        EXPECT_EQ(LastError(), kSystemErrors.ulRemoteServer);
    }
    EXPECT_FALSE(api.CreateConnection(TNL_TYPE_CLIENT, nullptr));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
}

TEST_F(TnlSessionTest, IdsAreNeverReused) {
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Create(TNL_TYPE_SERVER), 0);
    EXPECT_EQ(Create(TNL_TYPE_CLIENT), 1);
    EXPECT_EQ(Create(TNL_TYPE_UDP), 2);
    EXPECT_FALSE(api.CreateConnection(3, nullptr));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_DATA);
    EXPECT_FALSE(api.CreateConnection(-1, nullptr));

    // Records the service never knew go without a word to it.
    EXPECT_TRUE(api.DeleteConnection(2));
    EXPECT_TRUE(api.DeleteConnection(1));
    EXPECT_EQ(Service().RequestCount(), 0u);
    EXPECT_EQ(Create(TNL_TYPE_CLIENT), 3);
    EXPECT_TRUE(api.CreateConnection(TNL_TYPE_CLIENT, nullptr)) << "the id pointer may be null";

    ASSERT_TRUE(api.DisconnectService());
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Create(TNL_TYPE_CLIENT), 5) << "a reconnect keeps the counter";
    EXPECT_EQ(GetInt(0, "type"), TNL_TYPE_SERVER) << "and the records";
}

TEST_F(TnlSessionTest, EveryRecordAndSendingCallNeedsTheSession) {
    ASSERT_TRUE(Connect());
    int nId = AddClient("A");
    ASSERT_TRUE(api.DisconnectService());
    size_t nRequests = Service().RequestCount();
    CVariant name("name"), value("B"), out;

    EXPECT_FALSE(api.GetConnectionsList(out.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.DeleteAllConnections());
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.DeleteConnection(nId));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.AddConnectionService(nId));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.SetParam(nId, name.Get(), value.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.GetParam(nId, name.Get(), out.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.ApplyConnection(nId));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_FALSE(api.UpdateConnectionStatus(nId));
    EXPECT_EQ(LastError(), TNL_ERROR_PIPE_NOT_CONNECTED);
    EXPECT_EQ(Service().RequestCount(), nRequests) << "nothing may be written";
}

TEST_F(TnlSessionTest, UnknownIdsAreRefused) {
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(api.DeleteConnection(7));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_HANDLE);
    EXPECT_FALSE(api.AddConnectionService(7));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_HANDLE);
    EXPECT_FALSE(api.ApplyConnection(7));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_HANDLE);
    EXPECT_FALSE(api.UpdateConnectionStatus(7));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetText(7, "name", "x"));
    EXPECT_EQ(LastError(), TNL_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetText(7, "name"), "<failed 2>");
    EXPECT_EQ(Service().RequestCount(), 0u);
}

TEST_F(TnlSessionTest, EmptyListIsAnEmptyVariant) {
    ASSERT_TRUE(Connect());
    CVariant list("stale output");  // must be cleared, not leaked
    ASSERT_TRUE(api.GetConnectionsList(list.Get())) << LastError();
    EXPECT_EQ((*list).vt, VT_EMPTY);
    EXPECT_EQ(LastRequest(),
              "<proto version=\"6.0\" id=\"1\"><operation type=\"GETLIST\" status=\"1\"/></proto>");
}

TEST_F(TnlSessionTest, ListKeepsMatchedRecordsAndDropsUnlistedOnes) {
    ASSERT_TRUE(Connect());
    int nA = AddClient("A");
    int nB = AddClient("B");
    int nLocal = Create(TNL_TYPE_CLIENT);  // never added: not listed, so dropped
    SendDirect(AddRequestFor("C"));        // another client added C

    EXPECT_EQ(List(), (std::vector<int>{nA, nB, 3}));
    EXPECT_EQ(GetText(nLocal, "name"), "<failed 2>");
    EXPECT_EQ(GetText(3, "name"), "C");
    EXPECT_EQ(GetInt(3, "type"), TNL_TYPE_SERVER);

    SendDirect(
        "<proto version=\"6.0\"><operation type=\"DELETE\"><connection><name>A</name>"
        "</connection></operation></proto>");
    EXPECT_EQ(List(), (std::vector<int>{nB, 3}));
    EXPECT_EQ(List(), (std::vector<int>{nB, 3})) << "listing again changes nothing";
}

TEST_F(TnlSessionTest, ListIntoAnEmptySessionMakesRecordsInReplyOrder) {
    SendDirect(AddRequestFor("Z"));
    SendDirect(AddRequestFor("Y"));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(List(), (std::vector<int>{0, 1}));
    EXPECT_EQ(GetText(0, "name"), "Z");
    EXPECT_EQ(GetText(1, "name"), "Y");
    // Listed records are known to the service: deleting one sends its name.
    ASSERT_TRUE(api.DeleteConnection(0)) << LastError();
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"Y"});
}

TEST_F(TnlSessionTest, ErrorReplyFailsWith50AndChangesNoRecord) {
    ASSERT_TRUE(Connect());
    int nA = AddClient("A");
    int nLocal = Create(TNL_TYPE_CLIENT);
    ASSERT_TRUE(SetText(nLocal, "name", "L"));
    Service().SetFault(tnl_fake::EFault::kAnswerError);

    CVariant list;
    EXPECT_FALSE(api.GetConnectionsList(list.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(GetText(nLocal, "name"), "L") << "a failed list keeps unlisted records";
    EXPECT_FALSE(api.AddConnectionService(nLocal));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(api.DeleteAllConnections());
    EXPECT_FALSE(api.DeleteConnection(nA));
    EXPECT_EQ(GetText(nA, "name"), "A");

    Service().SetFault(tnl_fake::EFault::kNone);
    size_t nRequests = Service().RequestCount();
    EXPECT_TRUE(api.DeleteConnection(nLocal)) << "the failed add left it local";
    EXPECT_EQ(Service().RequestCount(), nRequests);
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"A"});
}

TEST_F(TnlSessionTest, DeleteSendsTheRecordsName) {
    ASSERT_TRUE(Connect());
    int nA = AddClient("A");
    AddClient("B");
    ASSERT_TRUE(api.DeleteConnection(nA)) << LastError();
    EXPECT_EQ(LastRequest(),
              "<proto version=\"6.0\"><operation type=\"DELETE\"><connection><name>A</name>"
              "</connection></operation></proto>");
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"B"});
    EXPECT_FALSE(api.DeleteConnection(nA));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_HANDLE);

    ASSERT_TRUE(api.DeleteAllConnections()) << LastError();
    EXPECT_EQ(LastRequest(),
              "<proto version=\"6.0\"><operation type=\"DELETE\" all=\"1\"/></proto>");
    EXPECT_TRUE(Service().Names().empty());
    EXPECT_TRUE(List().empty());
}

TEST_F(TnlSessionTest, AddGivesClientAndUdpRecordsADefaultHost) {
    ASSERT_TRUE(Connect());
    AddClient("client");
    int nUdp = Create(TNL_TYPE_UDP);
    ASSERT_TRUE(SetText(nUdp, "name", "udp"));
    ASSERT_TRUE(api.AddConnectionService(nUdp));
    int nServer = Create(TNL_TYPE_SERVER);
    ASSERT_TRUE(SetText(nServer, "name", "server"));
    ASSERT_TRUE(api.AddConnectionService(nServer));
    int nOwn = Create(TNL_TYPE_CLIENT);
    ASSERT_TRUE(SetText(nOwn, "name", "own"));
    ASSERT_TRUE(SetEntries(nOwn, "network.host", {{"box", "8000"}}));
    ASSERT_TRUE(api.AddConnectionService(nOwn));

    const std::string kDefaultHost = "<host name=\"localhost\" port=\"5001\"";
    EXPECT_NE(Service().Connection("client").find(kDefaultHost), std::string::npos);
    EXPECT_NE(Service().Connection("udp").find(kDefaultHost), std::string::npos);
    EXPECT_EQ(Service().Connection("server").find("<host"), std::string::npos);
    EXPECT_NE(Service().Connection("own").find("<host name=\"box\" port=\"8000\""),
              std::string::npos);
    EXPECT_EQ(Service().Connection("own").find("localhost"), std::string::npos);
}

TEST_F(TnlSessionTest, ApplySendsUpdateWithoutStatusToTheServiceName) {
    ASSERT_TRUE(Connect());
    AddClient("A");
    List();  // the record now carries the service's status
    ASSERT_TRUE(SetText(0, "name", "B"));
    ASSERT_TRUE(SetText(0, "port.name", "COM9"));
    ASSERT_TRUE(api.ApplyConnection(0)) << LastError();

    std::string strUpdate = LastRequest();
    EXPECT_EQ(strUpdate.rfind("<proto version=\"6.0\"><operation type=\"UPDATE\" applyto=\"A\">"
                              "<connection><type>CLIENT</type><name>B</name>",
                              0),
              0u)
        << strUpdate;
    EXPECT_EQ(strUpdate.find("status"), std::string::npos) << strUpdate;
    EXPECT_EQ(GetInt(0, "status.port.state"), 1) << "the record keeps its status";
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"B"});
    EXPECT_NE(Service().Connection("B").find("COM9"), std::string::npos);

    ASSERT_TRUE(api.ApplyConnection(0)) << LastError();
    EXPECT_NE(LastRequest().find("applyto=\"B\""), std::string::npos) << "renamed on success";
}

TEST_F(TnlSessionTest, StatusIsMergedFromTheService) {
    ASSERT_TRUE(Connect());
    int nId = AddClient("A");
    EXPECT_FALSE(api.UpdateConnectionStatus(nId)) << "never listed, so no status to replace";
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_FOUND);
    EXPECT_EQ(LastRequest(),
              "<proto version=\"6.0\"><operation type=\"GETSTAT\" applyto=\"A\" /></proto>");

    List();
    ASSERT_TRUE(Service().SetStatus("A",
                                    "<status><port state=\"0\" settings=\"off\"/>"
                                    "<stat sent=\"42\" recv=\"7\"/></status>"));
    ASSERT_TRUE(api.UpdateConnectionStatus(nId)) << LastError();
    EXPECT_EQ(GetInt(nId, "status.stat.sent"), 42);
    EXPECT_EQ(GetInt(nId, "status.stat.recv"), 7);
    EXPECT_EQ(GetText(nId, "status.port.settings"), "off");
    EXPECT_EQ(GetText(nId, "status.serverstate.state"), "<failed 1>") << "the old status is gone";

    Service().SetFault(tnl_fake::EFault::kAnswerError);
    EXPECT_FALSE(api.UpdateConnectionStatus(nId));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(GetInt(nId, "status.stat.sent"), 42);
}

}  // namespace
}  // namespace tnl_test
