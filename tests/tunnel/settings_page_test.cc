// The settings page through scripted dialogs: the feature state, the COM list and its set
// button, the pass-through question, the check box and the server profile.
#include <algorithm>

#include "platform/file_system.h"
#include "support/settings.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/tunnel/tunnel_fixture.h"
#include "tunnel/pass_through.h"
#include "tunnel/settings_page.h"

namespace {

using Texts = std::vector<std::string>;

// Answers each import with the result given and counts the imports.
class CScriptedImport final : public ICertificateImport {
public:
    bool ImportCertificate(IUserDialogs&) override {
        ++nImports;
        return bInstalls;
    }
    bool bInstalls = false;
    int nImports = 0;
};

class VirComPageTest : public VirComTest {
protected:
    void RunPage() { RunVirtualPortSettingsPage(m_dialogs, m_import); }
    // The feature on with COM3 as the virtual port, COM2 a system port and COM4 taken by
    // another connection.
    void PrepareRunningPort() {
        ASSERT_TRUE(StartFakeService());
        LinkPort("com2");
        LinkPort("com3");
        AddConnection("Other", "COM4");
        g_appSettings.strVirCom = "COM3";
    }
    const CFormControl& Shown(const std::string& strId, size_t nView = 0) const {
        const std::vector<CFormControl>& controls = m_dialogs.formViews.at(nView).controls;
        return *std::find_if(controls.begin(), controls.end(),
                             [&](const CFormControl& c) { return c.strId == strId; });
    }
    std::string ShownSelection(const std::string& strId) const {
        const CFormControl& list = Shown(strId, m_dialogs.formViews.size() - 1);
        return list.items.at(static_cast<size_t>(list.nSelected));
    }

    CScriptedDialogs m_dialogs;
    CScriptedImport m_import;
};

// A package that was not installed keeps the page open for another try; a new one closes it
// before the actions after it.
TEST_F(VirComPageTest, CertificateImportClosesThePageOnlyWhenAPackageWasInstalled) {
    for (const bool bInstalls : {false, true}) {
        m_dialogs.formViews.clear();
        m_import = CScriptedImport();
        m_import.bInstalls = bInstalls;
        m_dialogs.QueueFormAction("btnCertImport");
        m_dialogs.QueueFormAction("btnCertImport");
        RunPage();
        EXPECT_EQ(m_import.nImports, bInstalls ? 1 : 2) << bInstalls;
    }
}

TEST_F(VirComPageTest, WithoutTheServiceTheFeatureIsOffAndTheComControlsDisabled) {
    RunPage();
    EXPECT_EQ(Shown("txtVirtualStatus").strCaption, "detect_server_no");
    EXPECT_EQ(Shown("btnVirtualToggle").strCaption, "btn_install_server");
    EXPECT_FALSE(Shown("lstCom").bEnabled);
    EXPECT_FALSE(Shown("btnComSet").bEnabled);
}

TEST_F(VirComPageTest, ComListOffersFreeNamesAndMarksTheCurrentOne) {
    PrepareRunningPort();
    RunPage();
    const CFormControl& list = Shown("lstCom");
    EXPECT_TRUE(list.bEnabled);
    ASSERT_EQ(list.items.size(), 252u);  // COM2..COM255 without COM2 and COM4
    EXPECT_EQ(Texts(list.items.begin(), list.items.begin() + 3),
              (Texts{"COM3 [used]", "COM5", "COM6"}));
    EXPECT_EQ(list.nSelected, 0);
    EXPECT_EQ(Shown("txtVirtualStatus").strCaption, "detect_server_yes");
}

struct CSetCase {
    const char* szName;
    bool bPortAppears;
    size_t nRuns;
    Texts messages;
    const char* szSelected;
};

void PrintTo(const CSetCase& c, std::ostream* pStream) {
    *pStream << c.szName;
}

class VirComSetTest : public VirComPageTest, public ::testing::WithParamInterface<CSetCase> {};

TEST_P(VirComSetTest, SetButtonMovesThePortToAnotherNameOnly) {
    const CSetCase& c = GetParam();
    PrepareRunningPort();
    if (c.bPortAppears) OnControlCommand("enable", "ln -s /dev/null \"$ZELVO_PORTS_DIR/com5\"");
    m_dialogs.QueueFormAction("btnComSet");  // the marked entry: nothing happens
    m_dialogs.QueueFormAction("lstCom", "1");
    m_dialogs.QueueFormAction("btnComSet");
    RunPage();
    EXPECT_EQ(ControlRuns().size(), c.nRuns);
    Texts messages;
    for (const auto& message : m_dialogs.messages) messages.push_back(message.strText);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(g_appSettings.strVirCom, "COM5");
    EXPECT_EQ(ShownSelection("lstCom"), c.szSelected);
    EXPECT_NE(Service().Connection("ZELVO_COM").find("COM5"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ComSet, VirComSetTest,
                         ::testing::Values(CSetCase{"appears", true, 3, {}, "COM5 [used]"},
                                           CSetCase{"never_appears", false, 12,
                                                    {"set_com_error"}, "COM5"}),
                         [](const auto& info) { return std::string(info.param.szName); });

TEST_F(VirComPageTest, ActiveDirectPassThroughAsksBeforeChangingThePort) {
    PrepareRunningPort();
    g_nPassThroughMode = 1;
    m_dialogs.bMessageAnswer = false;
    m_dialogs.QueueFormAction("lstCom", "1");
    m_dialogs.QueueFormAction("btnComSet");
    m_dialogs.QueueFormAction("btnVirtualToggle");
    RunPage();
    ASSERT_EQ(m_dialogs.messages.size(), 2u);
    EXPECT_EQ(m_dialogs.messages[1].strText, "reinstall_msg");
    EXPECT_EQ(m_dialogs.messages[1].style, MessageBoxStyle::kYesNo);
    EXPECT_TRUE(ControlRuns().empty());
    EXPECT_EQ(g_appSettings.strVirCom, "COM3");
}

TEST_F(VirComPageTest, CheckBoxAndServerProfileAreStored) {
    m_dir.WriteFile("Servers/China.xml", "<china/>");
    m_dir.WriteFile("Servers/Local.xml", "<local/>");
    m_dir.WriteFile("html/Default.xml", "<old/>");
    // The list follows the folder's order.
    const size_t nLocal = ListServerProfiles(m_dir.Path()).front() == "Local" ? 0 : 1;
    m_dialogs.QueueFormAction("chkRemoveService", "1");
    m_dialogs.QueueFormAction("lstServer", std::to_string(nLocal));
    m_dialogs.QueueFormAction("btnServerSet");
    RunPage();
    EXPECT_EQ(Shown("lstServer").items.at(1 - nLocal), "China [used]");
    EXPECT_EQ(m_dir.ReadFile("html/Default.xml"), "<local/>");
    const std::string strSettings = m_dir.ReadFile("SoftLang.ini");
    EXPECT_NE(strSettings.find("curserver=Local"), std::string::npos);
    EXPECT_NE(strSettings.find("server=1"), std::string::npos);
    EXPECT_EQ(ShownSelection("lstServer"), "Local [used]");
}

}  // namespace
