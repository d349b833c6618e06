#include "support/settings.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "support/xml_document.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

const std::string kSep = "\x02";

class SettingsTest : public ::testing::Test {
protected:
    CTempProgramDir dir;
};

TEST_F(SettingsTest, MissingOrEmptyFileGivesEveryDefaultAndCreatesNothing) {
    LoadSettings();
    EXPECT_FALSE(dir.Exists("SoftLang.ini"));
    dir.WriteFile("SoftLang.ini", "");
    LoadSettings();
    const CAppSettings& s = g_appSettings;
    EXPECT_EQ(s.szLang, "en");
    EXPECT_EQ(g_wLangId, 1033);
    EXPECT_EQ(s.strVirCom, "COM2");
    EXPECT_EQ(s.strBrowser, "Chrome");
    EXPECT_EQ(s.szName, "ZELVO");
    EXPECT_EQ(s.nLogSeverity, 99);
    EXPECT_EQ(s.nOem, 1);
    EXPECT_EQ(s.szRep, "box");
    EXPECT_EQ(s.szComp, "");
    EXPECT_EQ(g_bFirstRun, 0);
    EXPECT_EQ(ReadCurrentServer(), "China");
}

TEST_F(SettingsTest, ReadsValuesCutsLongStringsAndReadsNonNumericAsZero) {
    dir.WriteFile("SoftLang.ini",
                  "[HMI]\r\noem=0\r\nfirst=1\r\nlog=abc\r\nmode=1\r\ntp=3x\r\nserver=1\r\n"
                  "lang=zh\r\nrep=gateway\r\nVirCom=COM7\r\nname=" +
                      std::string(80, 'n') + "\r\nlangID=2052\r\ncomp=ACME\r\n");
    LoadSettings();
    const CAppSettings& s = g_appSettings;
    EXPECT_EQ(s.nOem, 0);
    EXPECT_EQ(g_bFirstRun, 1);
    EXPECT_EQ(s.nLogSeverity, 0);
    EXPECT_EQ(s.nAppMode, 1);
    EXPECT_EQ(s.nTp, 3);
    EXPECT_EQ(s.nServer, 1);
    EXPECT_EQ(s.szLang, "zh");
    EXPECT_EQ(s.szRep, "gateway");
    EXPECT_EQ(s.strVirCom, "COM7");
    EXPECT_EQ(s.szName, std::string(63, 'n'));
    EXPECT_EQ(g_wLangId, 2052);
    EXPECT_EQ(s.szComp, "ACME");
}

TEST_F(SettingsTest, BrandWordStoredInLegacyCodePageReadsCorrectly) {
    const std::string previous = platform::GetLegacyCodePage();
    platform::SetLegacyCodePage("GBK");
    // "网关" in GBK bytes.
    dir.WriteFile("SoftLang.ini", "[HMI]\nrep=\xCD\xF8\xB9\xD8\n");
    LoadSettings();
    EXPECT_EQ(g_appSettings.szRep, "\xE7\xBD\x91\xE5\x85\xB3");
    platform::SetLegacyCodePage(previous);
}

TEST_F(SettingsTest, BrandWordSurvivesSaveAndLoad) {
    const std::string kWang = "\xE7\xBD\x91", kEAcute = "\xC3\xA9";
    std::string eleven, sixteen;
    for (int i = 0; i < 11; ++i) eleven += kWang;
    for (int i = 0; i < 16; ++i) sixteen += kEAcute;
    for (const std::string& word : {eleven, sixteen, std::string(31, 'w')}) {
        g_appSettings.szRep = word;
        SaveSettings();
        g_appSettings.szRep.clear();
        LoadSettings();
        EXPECT_EQ(g_appSettings.szRep, word);
    }
}

TEST_F(SettingsTest, SaveWritesOnlyItsKeysAndKeepsTheRest) {
    dir.WriteFile("SoftLang.ini", "[HMI]\nlang=zh\nfirst=1\n");
    LoadSettings();
    g_appSettings.szName = "Gate";
    g_appSettings.nTp = 4;
    g_appSettings.strVirCom = "COM9";
    SaveSettings();
    const std::string path = dir.PathOf("SoftLang.ini");
    EXPECT_EQ(platform::GetProfileString("HMI", "name", "", 64, path), "Gate");
    EXPECT_EQ(platform::GetProfileInt("HMI", "tp", 0, path), 4);
    EXPECT_EQ(platform::GetProfileString("HMI", "VirCom", "", 32, path), "COM9");
    EXPECT_EQ(platform::GetProfileString("HMI", "lang", "", 32, path), "zh");
    EXPECT_EQ(platform::GetProfileInt("HMI", "first", 0, path), 1);
    const std::string text = dir.ReadFile("SoftLang.ini");
    EXPECT_LT(text.find("name="), text.find("rep="));
    EXPECT_LT(text.find("server="), text.find("VirCom="));
}

TEST_F(SettingsTest, FirstRunFlagIsClearedOnlyWhenSet) {
    LoadSettings();
    ClearFirstRunFlag();
    EXPECT_FALSE(dir.Exists("SoftLang.ini"));
    dir.WriteFile("SoftLang.ini", "[HMI]\nfirst=1\n");
    LoadSettings();
    ClearFirstRunFlag();
    EXPECT_EQ(g_bFirstRun, 0);
    EXPECT_EQ(platform::GetProfileInt("HMI", "first", 7, dir.PathOf("SoftLang.ini")), 0);
}

TEST_F(SettingsTest, ServerListNamesEachXmlFileOnceWithSeparatorsBetweenNames) {
    LoadSettings();
    EXPECT_EQ(g_appSettings.strServerList, "");
    for (const char* name :
         {"Servers/Europe.xml", "Servers/Asia.xml", "Servers/readme.txt", "Servers/Old.xml.bak"}) {
        dir.WriteFile(name, "<a/>");
    }
    LoadSettings();
    // Directory order is the file system's, so either order of the two names is right.
    const std::string& list = g_appSettings.strServerList;
    EXPECT_TRUE(list == "Europe" + kSep + "Asia" || list == "Asia" + kSep + "Europe") << list;
}

TEST_F(SettingsTest, UpdateServerKeysAreReadOnlyInMode0) {
    dir.WriteFile("UpdateInfo.ini",
                  "[ORVAN]\nreqServer=upd.example\nreqPort=9000\ndnsServer=127.0.0.9\n");
    dir.WriteFile("SoftLang.ini", "[HMI]\nmode=1\n");
    LoadSettings();
    EXPECT_EQ(g_appSettings.nReqPort, 18081);
    EXPECT_EQ(g_appSettings.strDnsServer, "127.0.0.1");
    dir.WriteFile("SoftLang.ini", "[HMI]\nmode=0\n");
    LoadSettings();
    EXPECT_EQ(g_appSettings.strReqServer, "upd.example");
    EXPECT_EQ(g_appSettings.nReqPort, 9000);
    EXPECT_EQ(g_appSettings.strReqPath, "/software/checkUpdate");
    EXPECT_EQ(g_appSettings.strDnsServer, "127.0.0.9");
    EXPECT_EQ(g_appSettings.nDnsPort, 53);
}

TEST_F(SettingsTest, RememberingANetworkTwiceKeepsOneElementWithTheLastPassword) {
    dir.WriteFile("WifiList.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WifiList>\n</WifiList>\n");
    EXPECT_EQ(RememberWifi("Plant", "one"), 0);
    EXPECT_EQ(RememberWifi("Office", "o&\"<"), 0);
    EXPECT_EQ(RememberWifi("Plant", "two"), 0);
    const std::string text = dir.ReadFile("WifiList.xml");
    EXPECT_EQ(text.find("one"), std::string::npos);
    EXPECT_EQ(text.find("Plant"), text.rfind("Plant"));
    EXPECT_NE(text.find("two"), std::string::npos);
    EXPECT_LT(text.find("Plant"), text.find("Office"));

    EXPECT_EQ(ForgetWifi("Plant"), 0);
    EXPECT_EQ(ForgetWifi("Plant"), -1);
    const std::string after = dir.ReadFile("WifiList.xml");
    EXPECT_EQ(after.find("Plant"), std::string::npos);
    EXPECT_NE(after.find("Office"), std::string::npos);
}

TEST_F(SettingsTest, WifiListKeepsItsMarkAndEscapesNamesAndPasswords) {
    const std::string kBom = "\xEF\xBB\xBF";
    const std::string kHead = kBom + "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    dir.WriteFile("WifiList.xml", kHead + "<WifiList>\n</WifiList>\n");
    ASSERT_EQ(RememberWifi("home", "p1"), 0);
    ASSERT_EQ(RememberWifi("caf\xC3\xA9 \"5G\"", "a&b<c>"), 0);
    ASSERT_EQ(RememberWifi("home", "p2"), 0);
    EXPECT_EQ(dir.ReadFile("WifiList.xml"),
              kHead + "<WifiList>\n\t<wifi Name=\"home\" Psw=\"p2\"/>\n"
                      "\t<wifi Name=\"caf\xC3\xA9 &quot;5G&quot;\" Psw=\"a&amp;b&lt;c&gt;\"/>\n"
                      "</WifiList>\n");
    ASSERT_EQ(ForgetWifi("home"), 0);
    ASSERT_EQ(RememberWifi("office", "p3"), 0);
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(dir.PathOf("WifiList.xml")));
    std::string names;
    while (doc.FindChild("wifi")) {
        names += doc.GetChildAttribute("Name") + "=" + doc.GetChildAttribute("Psw") + ";";
    }
    EXPECT_EQ(names, "caf\xC3\xA9 \"5G\"=a&b<c>;office=p3;");
}

TEST_F(SettingsTest, WifiOperationsFailWithoutAListAndCreateNoFile) {
    EXPECT_EQ(RememberWifi("Plant", "pw"), -1);
    EXPECT_EQ(ForgetWifi("Plant"), -1);
    EXPECT_FALSE(dir.Exists("WifiList.xml"));
    dir.WriteFile("WifiList.xml", "<Other/>");
    EXPECT_EQ(RememberWifi("Plant", "pw"), -1);
    EXPECT_EQ(dir.ReadFile("WifiList.xml"), "<Other/>");
}

TEST_F(SettingsTest, VersionTextAndNumberComeFromTheReleaseLog) {
    EXPECT_EQ(GetSoftwareVersion(), "");
    EXPECT_EQ(GetSoftwareVersionNumber(), "");
    dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"Manager V2.1.0\"/></HMISet>");
    EXPECT_EQ(GetSoftwareVersion(), "V2.1.0");
    EXPECT_EQ(GetSoftwareVersionNumber(), "2.1.0");
    dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"V3.0.12\"/></HMISet>");
    EXPECT_EQ(GetSoftwareVersion(), "");
    EXPECT_EQ(GetSoftwareVersionNumber(), "3.0.12");
    dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"Tool V1.0 build V4.5.6\"/></HMISet>");
    EXPECT_EQ(GetSoftwareVersion(), "V1.0 build V4.5.6");
    EXPECT_EQ(GetSoftwareVersionNumber(), "4.5.6");
}

}  // namespace
