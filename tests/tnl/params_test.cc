// Connection parameters: names, types, storage kinds and passwords.
#include "tests/tnl/tnl_fixture.h"

namespace tnl_test {
namespace {

class TnlParamsTest : public TnlTest {
  protected:
    void SetUp() override {
        TnlTest::SetUp();
        ASSERT_TRUE(Connect()) << LastError();
        m_nId = Create(TNL_TYPE_CLIENT);
    }

    // The record's document as the service receives it in an ADD.
    std::string SentDocument() {
        EXPECT_TRUE(SetText(m_nId, "name", "doc")) << LastError();
        EXPECT_TRUE(api.AddConnectionService(m_nId)) << LastError();
        return LastRequest();
    }

    int m_nId = -1;
};

TEST_F(TnlParamsTest, NamesIgnoreCase) {
    ASSERT_TRUE(SetText(m_nId, "Port.Name", "COM7")) << LastError();
    EXPECT_EQ(GetText(m_nId, "port.name"), "COM7");
    ASSERT_TRUE(SetText(m_nId, "port.name", "COM8"));
    EXPECT_EQ(GetText(m_nId, "PORT.NAME"), "COM8");
    EXPECT_NE(SentDocument().find("<port><name>COM8</name></port>"), std::string::npos);
}

TEST_F(TnlParamsTest, TypeAndStatusCannotBeWritten) {
    for (const char* szName :
         {"type", "status.port.state", "statusx", "TYPE", "Status.Stat.Sent"}) {
        EXPECT_FALSE(SetInt(m_nId, szName, VT_I4, 0)) << szName;
        EXPECT_EQ(LastError(), TNL_ERROR_ACCESS_DENIED) << szName;
    }
    EXPECT_FALSE(SetEntries(m_nId, "status.remotehost", {}));
    EXPECT_EQ(LastError(), TNL_ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetInt(m_nId, "type"), TNL_TYPE_CLIENT);
}

TEST_F(TnlParamsTest, NamesAreNotWidenedBySeparatorsOrZeros) {
    // A trailing separator names no parameter, so it cannot reach the read-only type either.
    for (const char* szName : {"type.", "port.name.", "network.host."}) {
        EXPECT_FALSE(SetText(m_nId, szName, "x")) << szName;
        EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER) << szName;
    }
    EXPECT_FALSE(SetInt(m_nId, "type.", VT_I4, 7));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetText(m_nId, "port.name."), "<failed 87>");

    // A name ends at its first zero, whatever follows it.
    EXPECT_FALSE(SetInt(m_nId, std::string("type\0x", 6), VT_I4, 7));
    EXPECT_EQ(LastError(), TNL_ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetInt(m_nId, "type"), TNL_TYPE_CLIENT);
    ASSERT_TRUE(SetText(m_nId, std::string("security.auth.pwd\0z", 19), "abc")) << LastError();
    EXPECT_EQ(GetText(m_nId, "security.auth.pwd"), "9E9D9C") << "still a password";
    ASSERT_TRUE(SetText(m_nId, std::string("name\0z", 6), "first"));
    EXPECT_EQ(GetText(m_nId, std::string("name\0z", 6)), "first");
    ASSERT_TRUE(api.AddConnectionService(m_nId)) << LastError();
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"first"}) << "and the service name";
}

TEST_F(TnlParamsTest, TypeReadsAsItsNumber) {
    EXPECT_EQ(GetInt(m_nId, "type"), TNL_TYPE_CLIENT);
    EXPECT_EQ(GetInt(Create(TNL_TYPE_SERVER), "type"), TNL_TYPE_SERVER);
    EXPECT_EQ(GetInt(Create(TNL_TYPE_UDP), "Type"), TNL_TYPE_UDP);
}

TEST_F(TnlParamsTest, UnknownNamesAndContainersAreRefused) {
    for (const char* szName :
         {"port", "network", "nosuch", "", "port.name.x", "port..name", "port/*"}) {
        EXPECT_FALSE(SetText(m_nId, szName, "x")) << szName;
        EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER) << szName;
        EXPECT_EQ(GetText(m_nId, szName), "<failed 87>") << szName;
    }
    CVariant number(VT_I4, 1), value("x"), out;
    EXPECT_FALSE(api.SetParam(m_nId, number.Get(), value.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(api.GetParam(m_nId, number.Get(), out.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(api.SetParam(m_nId, value.Get(), nullptr));
    EXPECT_FALSE(api.GetParam(m_nId, value.Get(), nullptr));
}

TEST_F(TnlParamsTest, IntegersTakeOnlyIntegerTypes) {
    const char* kName = "protocol.reconnect.timeout";
    EXPECT_FALSE(SetText(m_nId, kName, "1000"));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetInt(m_nId, kName, VT_I1, 5)) << "one-byte integers are refused";
    EXPECT_FALSE(SetInt(m_nId, kName, VT_UI1, 5));
    EXPECT_FALSE(SetInt(m_nId, kName, VT_R8, 5));
    EXPECT_EQ(GetText(m_nId, kName), "<failed 1>") << "a refused write stores nothing";

    ASSERT_TRUE(SetInt(m_nId, kName, VT_INT, 1000)) << LastError();
    EXPECT_EQ(GetInt(m_nId, kName), 1000);
    ASSERT_TRUE(SetInt(m_nId, kName, VT_I2, -12));
    EXPECT_EQ(GetInt(m_nId, kName), -12);
    ASSERT_TRUE(SetInt(m_nId, kName, VT_UI8, 5000000000));
    EXPECT_EQ(GetInt(m_nId, kName), INT32_MAX) << "stored as decimal, read back saturated";
    ASSERT_TRUE(SetInt(m_nId, kName, VT_UI4, 1000));
    EXPECT_NE(SentDocument().find("<reconnect timeout=\"1000\""), std::string::npos);
}

TEST_F(TnlParamsTest, StringsTakeOnlyText) {
    EXPECT_FALSE(SetInt(m_nId, "port.name", VT_I4, 3));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(SetText(m_nId, "port.name", "Привет & <COM>"));
    EXPECT_EQ(GetText(m_nId, "port.name"), "Привет & <COM>");
}

TEST_F(TnlParamsTest, AttributeWriteCreatesItsElement) {
    EXPECT_EQ(GetText(m_nId, "port.sendmode.mode"), "<failed 1>");
    ASSERT_TRUE(SetInt(m_nId, "port.sendmode.mode", VT_I4, 3)) << LastError();
    ASSERT_TRUE(SetInt(m_nId, "port.sendmode.param", VT_I4, 9));
    ASSERT_TRUE(SetText(m_nId, "proxy.host.name", "proxy.lan"));
    EXPECT_EQ(GetInt(m_nId, "port.sendmode.mode"), 3);
    std::string strDocument = SentDocument();
    EXPECT_NE(strDocument.find("<port><sendmode mode=\"3\" param=\"9\"/></port>"),
              std::string::npos)
        << strDocument;
    EXPECT_NE(strDocument.find("<proxy><host name=\"proxy.lan\"/></proxy>"), std::string::npos);
}

TEST_F(TnlParamsTest, MissingPlacesReadAsNotFound) {
    EXPECT_EQ(GetText(m_nId, "name"), "") << "the template's empty element";
    EXPECT_EQ(GetText(m_nId, "port.name"), "<failed 1>");
    EXPECT_EQ(GetText(m_nId, "security.crypt.dll"), "<failed 1>");
}

TEST_F(TnlParamsTest, PasswordsAreStoredEncoded) {
    ASSERT_TRUE(SetText(m_nId, "security.auth.pwd", "abc"));
    EXPECT_EQ(GetText(m_nId, "security.auth.pwd"), "9E9D9C");
    ASSERT_TRUE(SetText(m_nId, "proxy.auth.pwd", "é1"));
    EXPECT_EQ(GetText(m_nId, "proxy.auth.pwd"), "16CE");
    ASSERT_TRUE(SetText(m_nId, "Security.Auth.Pwd", "a")) << "any spelling is a password";
    EXPECT_EQ(GetText(m_nId, "security.auth.pwd"), "9E");
    ASSERT_TRUE(SetText(m_nId, "security.auth.pwd", ""));
    EXPECT_EQ(GetText(m_nId, "security.auth.pwd"), "");
    ASSERT_TRUE(SetText(m_nId, "proxy.auth.user", "abc"));
    EXPECT_EQ(GetText(m_nId, "proxy.auth.user"), "abc");

    // Every 16-bit unit counts as it is, a lone surrogate and a zero included.
    const char16_t kUnits[] = {0xD800, u'a', 0};
    CVariant name("security.auth.pwd"), value;
    value.Get()->vt = VT_BSTR;
    value.Get()->bstrVal = SysAllocStringLen(tnl::AsOleText(kUnits), 3);
    ASSERT_TRUE(api.SetParam(m_nId, name.Get(), value.Get())) << LastError();
    EXPECT_EQ(GetText(m_nId, "security.auth.pwd"), "FF9EFF");
}

TEST_F(TnlParamsTest, ArrayWritesReplaceAllEntries) {
    CVariant name("network.host"), value;
    ASSERT_TRUE(api.GetParam(m_nId, name.Get(), value.Get())) << LastError();
    EXPECT_EQ((*value).vt, VT_EMPTY);

    ASSERT_TRUE(SetEntries(m_nId, "network.host", {{"a", "1"}, {"b", "2"}, {"c", "3"}}));
    ASSERT_TRUE(SetEntries(m_nId, "Network.Host", {{"box", "5000"}, {"10.0.0.2", "5001"}}));
    ASSERT_TRUE(api.GetParam(m_nId, name.Get(), value.Get()));
    EXPECT_EQ(Entries(*value),
              (std::vector<std::vector<std::string>>{{"box", "5000"}, {"10.0.0.2", "5001"}}));

    // An entry with a third field fails after the old entries were removed: nothing is stored.
    EXPECT_FALSE(SetEntries(m_nId, "network.host", {{"x", "1"}, {"y", "2", "3"}}));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetEntries(m_nId, "network.host", {{"x"}}));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(api.GetParam(m_nId, name.Get(), value.Get()));
    EXPECT_EQ(Entries(*value).size(), 2u);

    ASSERT_TRUE(SetEntries(m_nId, "network.host", {}));
    ASSERT_TRUE(api.GetParam(m_nId, name.Get(), value.Get()));
    EXPECT_EQ((*value).vt, VT_EMPTY);
}

TEST_F(TnlParamsTest, ArrayWritesCheckEveryValue) {
    EXPECT_FALSE(SetText(m_nId, "network.host", "box:5000"));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);

    // An entry that is not itself an array of values.
    CVariant name("network.host"), value, entry(VT_I4, 1);
    CVariant::MakeEntries({{"a", "1"}}, value.Get());
    LONG nIndex = 0;
    SafeArrayPutElement((*value).parray, &nIndex, entry.Get());
    EXPECT_FALSE(api.SetParam(m_nId, name.Get(), value.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_INVALID_PARAMETER);

    // Integer fields may come as numbers; they are stored as text.
    CVariant::MakeEntries({{"a", "1"}}, value.Get());
    VARIANT* pEntry = static_cast<VARIANT*>((*value).parray->pvData);
    LONG nPortIndex = 1;
    SafeArrayPutElement(pEntry->parray, &nPortIndex, CVariant(VT_I4, 4000).Get());
    ASSERT_TRUE(api.SetParam(m_nId, name.Get(), value.Get())) << LastError();
    EXPECT_NE(SentDocument().find("<host name=\"a\" port=\"4000\"/>"), std::string::npos);
}

TEST_F(TnlParamsTest, ArraysNeedTheirParentAndEveryField) {
    // A connection of another client, without a network element and with a host lacking its port.
    SendDirect(
        "<proto version=\"6.0\"><operation type=\"ADD\"><connection><type>CLIENT</type>"
        "<name>bare</name><proxy><host name=\"p\"/></proxy></connection></operation></proto>");
    SendDirect(
        "<proto version=\"6.0\"><operation type=\"ADD\"><connection><type>CLIENT</type>"
        "<name>half</name><network><host name=\"h\"/></network></connection></operation>"
        "</proto>");
    std::vector<int> ids = List();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_FALSE(SetEntries(ids[0], "network.host", {{"a", "1"}}));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_FOUND) << "the parent is not created";
    EXPECT_EQ(GetText(ids[0], "network.host"), "<failed 1>");
    CVariant name("network.host"), value;
    EXPECT_FALSE(api.GetParam(ids[1], name.Get(), value.Get()));
    EXPECT_EQ(LastError(), TNL_ERROR_NOT_FOUND);
    EXPECT_EQ((*value).vt, VT_EMPTY);
}

TEST_F(TnlParamsTest, NameOfALocalRecordIsItsServiceName) {
    ASSERT_TRUE(SetText(m_nId, "NAME", "first"));
    ASSERT_TRUE(api.AddConnectionService(m_nId));
    ASSERT_TRUE(SetText(m_nId, "name", "second"));  // once added, only Apply renames
    ASSERT_TRUE(api.ApplyConnection(m_nId)) << LastError();
    EXPECT_NE(LastRequest().find("applyto=\"first\""), std::string::npos);
    EXPECT_EQ(Service().Names(), std::vector<std::string>{"second"});

    // A text with a zero is stored up to the zero; the service name is that same text.
    int nId = Create(TNL_TYPE_SERVER);
    ASSERT_TRUE(SetText(nId, "name", std::string("third\0x", 7)));
    EXPECT_EQ(GetText(nId, "name"), "third");
    ASSERT_TRUE(api.AddConnectionService(nId)) << LastError();
    ASSERT_TRUE(SetText(nId, "name", "fourth"));
    ASSERT_TRUE(api.ApplyConnection(nId)) << LastError();
    EXPECT_EQ(LastRequest().find('\0'), std::string::npos);
    EXPECT_NE(LastRequest().find("applyto=\"third\""), std::string::npos);
}

}  // namespace
}  // namespace tnl_test
