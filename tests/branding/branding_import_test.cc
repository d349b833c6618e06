// The branding import in a temporary program directory, with packages made by the package
// writer: names, box display names, icons, the home page address, shortcuts and the launcher
// entry; the dialog when the package is missing; the settings page's import.
#include "package/branding_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package_writer.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/settings.h"
#include "support/xml_document.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"

namespace {

using Items = std::vector<CPackageItem>;

const char kBoxTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BOXSet>\n"
    "  <box Type=\"ZELVO-E\" SerialNo=\"ZE\"/>\n  <box Type=\"ZELVO-W\" SerialNo=\"ZW\"/>\n"
    "  <box Type=\"ZELVO-E\" SerialNo=\"ZX\"/>\n</BOXSet>\n";
const char kCompany[] =
    R"({"Company_Name_ZH": "Acme Automation", "box_name_zh": "Acme Box", "tool_name": "AcmeTool"})";

std::string PackageBytes(const Items& items) {
    std::string bytes;
    EXPECT_EQ(BuildPackage(CPackageKeying{}, items, &bytes), 0);
    return bytes;
}

class BrandingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Shortcut folders inside the test's directory, never the user's own.
        SetTestVariable("XDG_DESKTOP_DIR", m_dir.PathOf("desktop"));
        SetTestVariable("XDG_DATA_HOME", m_dir.PathOf("data"));
        m_dir.WriteFile("BOXType.hmi", kBoxTypes);
        // The tool names an import here may leave: the packages' and the program's own.
        for (const std::string& strTool : {std::string("AcmeTool"), CAppSettings().szName})
            m_dir.KeepProgramFromTool(strTool);
    }
    void TearDown() override {
        UnsetTestVariable("XDG_DESKTOP_DIR");
        UnsetTestVariable("XDG_DATA_HOME");
    }
    void Install(const Items& items) { m_dir.WriteFile(kPackageFileName, PackageBytes(items)); }
    // A desktop entry named after the running program, starting strProgram.
    void WriteShortcut(const std::string& strFolder, const std::string& strProgram) {
        m_dir.WriteFile(strFolder + "/" + Stem() + ".desktop",
                        "[Desktop Entry]\nType=Application\nExec=" + strProgram +
                            " --no-browser\nIcon=old.png\n");
    }
    static std::string Stem() {
        return std::string(platform::FileNameOf(platform::GetExecutablePath()));
    }
    std::string Url2() {
        XmlDocument doc;
        if (!doc.LoadFile(m_dir.PathOf("html/Default.xml"))) return "<none>";
        doc.FindSibling("KorixSet");
        doc.FindChild("BaseSet");
        return doc.GetChildAttribute("URL2");
    }

    CTempProgramDir m_dir;
};

// The shortcuts here are XDG desktop entries and the launcher entry a symbolic link.
#ifdef _WIN32
#define SKIP_WITHOUT_DESKTOP_ENTRIES()                                                    \
    GTEST_SKIP() << "Windows shortcuts are shell links, not XDG desktop entries, and the " \
                    "launcher entry is no symbolic link there"
#else
#define SKIP_WITHOUT_DESKTOP_ENTRIES() static_cast<void>(0)
#endif

TEST_F(BrandingTest, PackageBrandsNamesBoxesIconsShortcutsAndLauncher) {
    SKIP_WITHOUT_DESKTOP_ENTRIES();
    Install({{"company.info", kCompany},
             {"device.info", R"([{"oriValue":"ZELVO-E","cusModel":"Edge One"},{"oriValue":"ZELVO-W"}])"},
             {"tool_title_logo.ico", "title-bytes"},
             {"tool_desktop_logo.ico", "logo-bytes"}});
    // The program's own entry has no icon yet: the line is added.
    m_dir.WriteFile("desktop/" + Stem() + ".desktop",
                    "[Desktop Entry]\nExec=\"" + platform::GetExecutablePath() + "\" %u\n");
    WriteShortcut("data/applications", "/usr/bin/another-program");

    ASSERT_EQ(ImportBranding(nullptr), 0);
    EXPECT_EQ(g_bRestartAfterImport, 0);
    EXPECT_EQ(g_appSettings.szComp, "Acme Automation");  // member names ignore letter case
    EXPECT_EQ(g_appSettings.szRep, "Acme Box");
    EXPECT_EQ(g_appSettings.szName, "AcmeTool");
    const std::string ini = m_dir.ReadFile("SoftLang.ini");
    for (const char* szLine : {"comp=Acme Automation", "rep=Acme Box", "name=AcmeTool"}) {
        EXPECT_NE(ini.find(szLine), std::string::npos) << szLine;
    }
    const std::string boxes = m_dir.ReadFile("BOXType.hmi");
    EXPECT_NE(boxes.find(R"(Type="ZELVO-E" SerialNo="ZE" Display="Edge One")"), std::string::npos);
    EXPECT_NE(boxes.find(R"(Type="ZELVO-E" SerialNo="ZX" Display="Edge One")"), std::string::npos);
    EXPECT_NE(boxes.find(R"(Type="ZELVO-W" SerialNo="ZW"/>)"), std::string::npos);
    EXPECT_EQ(m_dir.ReadFile("title.ico"), "title-bytes");
    EXPECT_EQ(m_dir.ReadFile("logo.ico"), "logo-bytes");
    // Both shortcuts take the tool name; only the one that starts this program shows the icon.
    EXPECT_FALSE(m_dir.Exists("desktop/" + Stem() + ".desktop"));
    EXPECT_NE(m_dir.ReadFile("desktop/AcmeTool.desktop").find("Icon=" + m_dir.PathOf("logo.ico")),
              std::string::npos);
    EXPECT_NE(m_dir.ReadFile("data/applications/AcmeTool.desktop").find("Icon=old.png"),
              std::string::npos);
    std::string strLink;
    ASSERT_TRUE(platform::ReadSymbolicLink(m_dir.PathOf("AcmeTool"), &strLink));
    EXPECT_EQ(strLink, platform::GetExecutablePath());
    EXPECT_EQ(BrandedProgramPath(), m_dir.PathOf("AcmeTool"));
}

TEST_F(BrandingTest, WithoutDesktopIconShortcutsOnlyTakeTheNewName) {
    SKIP_WITHOUT_DESKTOP_ENTRIES();
    Install({{"company.info", kCompany}});
    WriteShortcut("desktop", platform::GetExecutablePath());
    ASSERT_EQ(ImportBranding(nullptr), 0);
    EXPECT_NE(m_dir.ReadFile("desktop/AcmeTool.desktop").find("Icon=old.png"), std::string::npos);
    EXPECT_FALSE(m_dir.Exists("logo.ico"));
}

TEST_F(BrandingTest, HomePageAddressComesFromTheDomainName) {
    const char kPage[] = "<KorixSet>\n  <BaseSet URL2=\"x\" URL=\"y\"/>\n</KorixSet>\n";
    const struct {
        const char* szCompany;
        const char* szUrl2;
    } cases[] = {
        {R"({"domain_name": "portal.example.test"})", "http://portal.example.test"},
        {R"({"domain_name": "see http://portal.example.test/x"})", "see http://portal.example.test/x"},
        {R"({"domain_name": 7})", ""},
        {R"({"tool_name": "AcmeTool"})", ""},
    };
    for (const auto& c : cases) {
        Install({{"company.info", c.szCompany}, {"default.xml", kPage}});
        ASSERT_EQ(ImportBranding(nullptr), 0);
        EXPECT_EQ(Url2(), c.szUrl2) << c.szCompany;
    }
    // Without the item the page profile is left as it is.
    m_dir.WriteFile("html/Default.xml", "<KorixSet><BaseSet URL2=\"kept\"/></KorixSet>");
    Install({{"company.info", R"({"domain_name": "portal.example.test"})"}});
    ASSERT_EQ(ImportBranding(nullptr), 0);
    EXPECT_EQ(Url2(), "kept");
}

TEST_F(BrandingTest, LongTextsAreCutAndBadBoxFileIsNotReplaced) {
    const std::string strLong(300, 'c');
    Install({{"company.info", R"({"company_name_zh": ")" + strLong + R"(", "tool_name": "a/b"})"},
             {"device.info", R"([{"oriValue":"ZELVO-E","cusModel":"Edge"}])"}});
    m_dir.WriteFile("BOXType.hmi", "<BOXSet><box Type=\"ZELVO-E\">");
    ASSERT_EQ(ImportBranding(nullptr), 0);
    EXPECT_EQ(g_appSettings.szComp, strLong.substr(0, kBrandingTextUnits));
    EXPECT_EQ(m_dir.ReadFile("BOXType.hmi"), "<BOXSet><box Type=\"ZELVO-E\">");
    // A tool name that is not one file name makes no launcher entry.
    EXPECT_EQ(BrandedProgramPath(), platform::GetExecutablePath());
    // A pair of UTF-16 units is not cut in half.
    EXPECT_EQ(CutToUtf16Units("ab\xF0\x9F\x98\x80", 3), "ab");
    EXPECT_EQ(CutToUtf16Units("ab\xF0\x9F\x98\x80", 4), "ab\xF0\x9F\x98\x80");
}

TEST_F(BrandingTest, BrandingOffReadsAndWritesNothing) {
    g_appSettings.nOem = 0;
    bool bAsked = false;
    EXPECT_EQ(ImportBranding([&](std::string*) { return bAsked = true; }), 0);
    EXPECT_FALSE(bAsked);
    EXPECT_FALSE(m_dir.Exists("SoftLang.ini"));
    EXPECT_FALSE(m_dir.Exists(kPackageFileName));
}

TEST_F(BrandingTest, MissingPackageWithoutAGoodChoiceEndsTheStart) {
    m_dir.WriteFile("chosen/bad.ce", "not a package");
    for (const char* szChoice : {"", "chosen/bad.ce"}) {
        EXPECT_EQ(ImportBranding([&](std::string* pPath) {
                      *pPath = m_dir.PathOf(szChoice);
                      return *szChoice != '\0';
                  }),
                  -1);
        EXPECT_FALSE(m_dir.Exists(kPackageFileName)) << szChoice;
    }
    // A good choice, with the restart it asks for, is followed through start-up's own hooks.
}

TEST_F(BrandingTest, SettingsPageImportKeepsTheInstalledPackageOnABadChoice) {
    const std::string strInstalled = PackageBytes({{"company.info", kCompany}});
    m_dir.WriteFile(kPackageFileName, strInstalled);
    m_dir.WriteFile("logo.ico", "old");
    std::string strCorrupt = PackageBytes({{"company.info", "{}"}});
    strCorrupt[300] ^= 1;
    m_dir.WriteFile("chosen/corrupt.ce", strCorrupt);
    m_dir.WriteFile("chosen/new.ce", PackageBytes({{"company.info", "{}"}}));
    CScriptedDialogs dialogs;

    EXPECT_FALSE(ImportCertificateCommand(dialogs));  // cancelled
    dialogs.AnswerNextFileDialog(m_dir.PathOf("chosen/corrupt.ce"));
    g_bRestartAfterImport = 1;
    EXPECT_FALSE(ImportCertificateCommand(dialogs));
    EXPECT_EQ(g_bRestartAfterImport, 0);
    EXPECT_EQ(m_dir.ReadFile(kPackageFileName), strInstalled);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(m_dir.Exists("logo.ico"));

    dialogs.AnswerNextFileDialog(m_dir.PathOf("chosen/new.ce"));
    EXPECT_TRUE(ImportCertificateCommand(dialogs));
    EXPECT_EQ(g_bRestartAfterImport, 1);
    EXPECT_EQ(m_dir.ReadFile(kPackageFileName), m_dir.ReadFile("chosen/new.ce"));
    EXPECT_FALSE(m_dir.Exists("logo.ico"));
    EXPECT_FALSE(m_dir.Exists(std::string(kPackageFileName) + ".new"));
    g_bRestartAfterImport = 0;
}

}  // namespace
