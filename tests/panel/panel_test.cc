#include <gtest/gtest.h>

#include <filesystem>

#include "panel/download_settings_dialog.h"
#include "panel/panel_editor.h"
#include "platform/file_system.h"
#include "platform/installed_programs.h"
#include "platform/thread_util.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"

namespace {

using platform::JoinPath;

// The machine registry of a 64-bit prefix: both uninstall views, the same location twice, a
// deeper key, junk lines, a program that is no editor and a location on no drive of the prefix.
constexpr const char* kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine
#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon] 1700000000
#time=1d9f0a0b0c0d0e0
"DisplayName"="Quillon \x7f16\x8f91\xd83d\xde00 \"3\""
"InstallLocation"="C:\\Program Files\\Quillon\\"
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon\\Parts]
"InstallLocation"="C:\\Parts\\"
[SOFTWARE\\MICROSOFT\\Windows\\CurrentVersion\\Uninstall\\Broken]
"DisplayName"="never closed
"InstallLocation"=hex(2):43,00,\
  3a,00
garbage ] "=
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TextTool]
"displayname"="Text Tool"
"InstallLocation"="c:\\Tools\\Text\\"
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A1B2}]
"DisplayName"="Quillon 32"
"InstallLocation"=str(2):"C:\\Program Files\\Quillon\\"
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old]
"DisplayName"="Quillon Old"
"InstallLocation"="C:\\Quillon Old\\"
[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Elsewhere]
"DisplayName"="Elsewhere"
"InstallLocation"="Q:\\Elsewhere\\"
)";

// On Windows the installed programs are the system's own uninstall list and they start without
// wine: there the fake prefix and the fake wine stand for nothing, and only the tests of the
// editor's folder and of hmi.xml run.
#ifdef _WIN32
#define SKIP_WITHOUT_WINE_PREFIX()                                                           \
    GTEST_SKIP() << "installed programs come from the Windows registry, not from a Wine "  \
                    "prefix's system.reg, and start without wine"
#else
#define SKIP_WITHOUT_WINE_PREFIX() static_cast<void>(0)
#endif

// A Wine prefix with drive C and two editors (one without version), a PATH holding only a `wine`
// that records its working folder and arguments, and a program directory with bracketed texts
// for the dialog's messages.
class PanelTest : public ::testing::Test {
  protected:
    PanelTest() {
        platform::CreateDirectories(JoinPath(m_strRoot, "prefix/dosdevices"));
        WriteFile("prefix/system.reg", kSystemReg);
        WriteFile("prefix/drive_c/Tools/Text/QuillonDl.exe", "");
#ifndef _WIN32
        EXPECT_TRUE(platform::CreateSymbolicLink("../drive_c",
                                                 JoinPath(m_strRoot, "prefix/dosdevices/c:")));
#endif
        platform::ResolveRealPath(JoinPath(m_strRoot, "prefix/drive_c"), &m_strDriveC);
        WriteFile("bin/wine",
                  "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; "
                  "echo end; } > " +
                      JoinPath(m_strRoot, "wine.log") + "\n");
        std::filesystem::permissions(JoinPath(m_strRoot, "bin/wine"),
                                     std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
        m_dir.WriteStrings(
            "hmi_no_editor=[no_editor]\nhmi_incompat_ver=[incompat]\nhmi_no_ver=[no_ver]\n");
        Editor("Program Files/Quillon", "V8.1");
        Editor("Quillon Old", "");
        g_strHmiFolder = g_strHmiVersion = "";
    }
    ~PanelTest() override { platform::RemoveDirectoryTree(m_strRoot); }

    void WriteFile(const std::string& relative, const std::string& content) const {
        const std::string path = JoinPath(m_strRoot, relative);
        platform::CreateDirectories(platform::ParentDirectory(path));
        platform::WriteFileAtomic(path, content);
    }
    // An editor installation below drive C; its log gives the version when there is one.
    void Editor(const std::string& sub, const std::string& version) const {
        const std::string base = "prefix/drive_c/" + sub + "/";
        for (const char* file : {"QuillonDl.exe", "simulation/ieg/QuillonSim.exe", "Quillon.exe"})
            WriteFile(base + file, "");
        WriteFile(base + "ReleaseLog.log",
                  "<HMISet><Hmi " + (version.empty() ? "" : "Help_Ch=\"" + version + "\"") +
                      "/></HMISet>");
    }
    std::string C(const std::string& sub) const { return m_strDriveC + "/" + sub; }
    // What the fake wine recorded; waits (bounded only against a hang) for its last line.
    std::string WineLog() const {
        std::string content;
        for (int i = 0; i < 2000 && !content.ends_with("end\n"); ++i) {
            platform::SleepMs(10);
            platform::ReadFileBytes(JoinPath(m_strRoot, "wine.log"), &content);
        }
        return content;
    }

    CTempProgramDir m_dir;
    const std::string m_strRoot = platform::MakeTempDirectory("zelvo_wine_");
    CScopedVariable m_prefix{"WINEPREFIX", JoinPath(m_strRoot, "prefix")};
    CScopedVariable m_path{"PATH", JoinPath(m_strRoot, "bin")};
    std::string m_strDriveC;
};

TEST_F(PanelTest, UninstallListReadsBothViewsInOrderAndMapsLocations) {
    SKIP_WITHOUT_WINE_PREFIX();
    std::vector<platform::CInstalledProgram> programs;
    ASSERT_TRUE(platform::ListInstalledPrograms(&programs));
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& program : programs) found.emplace_back(program.strName, program.strLocation);
    EXPECT_EQ(
        found,
        (std::vector<std::pair<std::string, std::string>>{
            {"Quillon \xE7\xBC\x96\xE8\xBE\x91\xF0\x9F\x98\x80 \"3\"", C("Program Files/Quillon/")},
            {"", ""},
            {"Text Tool", C("Tools/Text/")},
            {"Quillon 32", C("Program Files/Quillon/")},
            {"Quillon Old", C("Quillon Old/")},
            {"Elsewhere", ""}}));
}

TEST_F(PanelTest, InstalledEditorsNeedBothFilesAndAreListedOnce) {
    SKIP_WITHOUT_WINE_PREFIX();
    std::vector<std::string> folders;
    ScanInstalledEditors(&folders);
    EXPECT_EQ(folders, (std::vector<std::string>{C("Program Files/Quillon/"), C("Quillon Old/")}));
    WriteFile("prefix/drive_c/Sim/simulation/ieg/QuillonSim.exe", "");
    for (const auto& [folder, installed] : {std::pair{C("Tools/Text/"), 0},
                                            {C("Sim/"), 0},
                                            {C("Quillon Old/"), 1},
                                            {C("Quillon Old"), 0}})
        EXPECT_EQ(IsEditorInstalled(folder), installed) << folder;
}

TEST_F(PanelTest, EmptyFolderMeansTheOneInHmiXml) {
    EXPECT_EQ(IsEditorInstalled(""), 0);
    m_dir.WriteFile("hmi.xml", "<HMISet><Hmi Folder=\"" + C("Program Files/Quillon/") +
                                   "\" Version=\"V8.1\"/></HMISet>");
    EXPECT_EQ(IsEditorInstalled(""), 1);
    EXPECT_EQ(g_strHmiFolder, C("Program Files/Quillon/"));
    std::string version = "untouched";
    EXPECT_EQ(GetEditorVersion(&version, ""), 1);
    EXPECT_EQ(version, "V8.1");
    EXPECT_EQ(GetEditorVersion(&version, C("Tools/Text/")), 0);
    EXPECT_EQ(version, "V8.1");
}

TEST_F(PanelTest, HmiXmlIsMadeFromItsTemplateAndReadsBack) {
    for (const char* old : {"", "<HMISet><Other/></HMISet>", "<HMISet><Hmi>"}) {
        if (*old) m_dir.WriteFile("hmi.xml", old);
        g_strHmiFolder = "/x/R&D \"\xE7\xBC\x96\"/";
        g_strHmiVersion = "V<9>";
        SaveHmiSettings();
        EXPECT_TRUE(m_dir.ReadFile("hmi.xml").starts_with(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<HMISet filever = \"1.0\">\n<Hmi "));
        g_strHmiFolder = g_strHmiVersion = "";
        LoadHmiSettings();
        EXPECT_EQ(g_strHmiFolder, "/x/R&D \"\xE7\xBC\x96\"/") << old;
        EXPECT_EQ(g_strHmiVersion, "V<9>") << old;
    }
    platform::RemoveFile(m_dir.PathOf("hmi.xml"));
    LoadHmiSettings();
    EXPECT_EQ(g_strHmiVersion, "V<9>");
}

TEST_F(PanelTest, DownloadToolStartsWithTheTargetOfTheUrl) {
    SKIP_WITHOUT_WINE_PREFIX();
    const std::string folder = C("Program Files/Quillon/");
    const std::string started = C("Program Files/Quillon") + "\n[" + folder + "QuillonDl.exe]\n";
    const struct {
        const char* argument;
        int result;
        std::string log;
    } cases[] = {
        {R"({"url":"127.0.0.1:8502"})", 1, started + "[LoadMode2 127 0 0 1 0 8502]\nend\n"},
        {R"({"URL":"127.0.0.1:8502:COM3 x"})", 1,
         started + "[LoadMode2 127 0 0 1 0 8502 COM3 x]\nend\n"},
        {R"({"url":"127.0.0.1"})", 0, ""},
        {R"({"url":":8502"})", 0, ""},
        {R"({"url":8502})", 0, ""},
        {R"({"url":)", 0, ""},
    };
    g_strHmiFolder = folder;
    for (const auto& c : cases) {
        platform::RemoveFile(JoinPath(m_strRoot, "wine.log"));
        EXPECT_EQ(LaunchDownloadTool(c.argument), c.result) << c.argument;
        if (c.result) {
            EXPECT_EQ(WineLog(), c.log) << c.argument;
        }
    }
    g_strHmiFolder = C("Tools/");
    EXPECT_EQ(LaunchDownloadTool(R"({"url":"127.0.0.1:8502"})"), 0);
}

CFormControl Control(const CFormView& view, const std::string& id) {
    for (const CFormControl& control : view.controls)
        if (control.strId == id) return control;
    ADD_FAILURE() << id;
    return {};
}

TEST_F(PanelTest, DialogListsVersionedEditorsAndStoresTheChosenRow) {
    SKIP_WITHOUT_WINE_PREFIX();
    CScriptedDialogs dialogs;
    dialogs.QueueFormAction("btnOk");
    dialogs.QueueFormAction("tblEditors", "0");
    dialogs.QueueFormAction("btnOk");
    EXPECT_TRUE(RunDownloadSettingsDialog(dialogs));
    ASSERT_EQ(dialogs.formViews.size(), 3u);  // OK while disabled did not close
    EXPECT_EQ(Control(dialogs.formViews[0], "tblEditors").rows,
              (std::vector<std::vector<std::string>>{{"1", "V8.1", C("Program Files/Quillon/")}}));
    EXPECT_FALSE(Control(dialogs.formViews[0], "btnOk").bEnabled);
    EXPECT_EQ(Control(dialogs.formViews[2], "txtVersion").strCaption, "V8.1");
    g_strHmiFolder = g_strHmiVersion = "";
    LoadHmiSettings();
    EXPECT_EQ(g_strHmiFolder, C("Program Files/Quillon/"));
    EXPECT_EQ(g_strHmiVersion, "V8.1");
}

TEST_F(PanelTest, BrowseChecksTheFolderAndSelectsOrAddsItsRow) {
    SKIP_WITHOUT_WINE_PREFIX();
    Editor("Fresh", "V9");
    platform::RemoveFile(JoinPath(m_strRoot, "prefix/drive_c/Tools/Text/QuillonDl.exe"));
    WriteFile("prefix/drive_c/Tools/Text/QuillonEd.exe", "");
    const struct {
        std::string picked;
        std::string message;
        int selected;
        size_t rows;
    } cases[] = {
        {"", "", -1, 1},
        {C("Quillon Old/simulation"), "[no_editor]", -1, 1},
        {C("Tools/Text"), "[incompat]", -1, 1},
        {C("Quillon Old"), "[no_ver]", -1, 1},
        {C("Program Files/Quillon"), "", 0, 1},
        {C("Fresh"), "", 1, 2},
    };
    for (const auto& c : cases) {
        CScriptedDialogs dialogs;
        dialogs.AnswerNextFolderDialog(c.picked);
        dialogs.QueueFormAction("btnBrowse");
        EXPECT_FALSE(RunDownloadSettingsDialog(dialogs));
        const CFormView& view = dialogs.formViews.back();
        EXPECT_EQ(dialogs.messages.empty() ? "" : dialogs.messages[0].strText, c.message);
        EXPECT_EQ(Control(view, "tblEditors").nSelected, c.selected) << c.picked;
        EXPECT_EQ(Control(view, "tblEditors").rows.size(), c.rows) << c.picked;
        EXPECT_EQ(Control(view, "btnOk").bEnabled, c.selected >= 0) << c.picked;
        EXPECT_EQ(Control(view, "txtFolder").strCaption, c.selected >= 0 ? c.picked + "/" : "");
    }
    EXPECT_FALSE(m_dir.Exists("hmi.xml"));
}

}  // namespace
