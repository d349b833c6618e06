#include "support/browser_launch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/file_system.h"
#include "platform/thread_util.h"
#include "support/settings.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"

namespace {

using platform::JoinPath;

// A desktop of our own for one case: a program directory, application folders, and a PATH that
// holds only fake browser programs (shell scripts), all put back on destruction.
class CFakeDesktop {
  public:
    CFakeDesktop() {
        platform::CreateDirectories(Bin());
        g_browserList.clear();
        g_strBrowserPath.clear();
    }
    ~CFakeDesktop() { platform::RemoveDirectoryTree(m_strRoot); }

    std::string Bin() const { return JoinPath(m_strRoot, "bin"); }
    std::string SavedSettings() const { return m_programDir.ReadFile("SoftLang.ini"); }

    // A program that, unless given another body, writes each of its arguments on a line of its
    // own and then "end".
    void Program(const std::string& name, const std::string& body = "") const {
        const std::string path = JoinPath(Bin(), name);
        const std::string recorder =
            "{ for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; echo end; } > " + m_strRoot +
            "/args";
        platform::WriteFileAtomic(path, "#!/bin/sh\n" + (body.empty() ? recorder : body) + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
    void Desktop(const std::string& folder, const std::string& file, const std::string& categories,
                 const std::string& exec) const {
        const std::string dir = m_strRoot + "/" + folder + "/applications";
        platform::CreateDirectories(dir);
        platform::WriteFileAtomic(JoinPath(dir, file), "[Desktop Entry]\nExec=" + exec +
                                                           "\nCategories=" + categories +
                                                           "\n[Desktop Action new]\nExec=x\n");
    }
    // Waits (bounded only against a hang) until the recording program has written its file.
    std::string RecordedArguments() const {
        std::string content;
        for (int i = 0; i < 2000 && !content.ends_with("end\n"); ++i) {
            platform::SleepMs(10);
            platform::ReadFileBytes(JoinPath(m_strRoot, "args"), &content);
        }
        return content;
    }

  private:
    CTempProgramDir m_programDir;
    const std::string m_strRoot = platform::MakeTempDirectory("zelvo_desktop_");
    const CScopedVariable m_home{"HOME", JoinPath(m_strRoot, "home")};
    const CScopedVariable m_dataHome{"XDG_DATA_HOME", JoinPath(m_strRoot, "home_data")};
    const CScopedVariable m_dataDirs{"XDG_DATA_DIRS",
                                     m_strRoot + "/share1:" + m_strRoot + "/share2"};
    const CScopedVariable m_path{"PATH", Bin()};
};

// The browsers are found through desktop entries and PATH, and the fakes are shell scripts.
class BrowserLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "Windows lists its browsers in the registry, not in XDG desktop entries, "
                        "and the fake browsers here are shell scripts";
#endif
    }
};

TEST_F(BrowserLaunchTest, EntriesAndProgramsAreListedOnceInOrder) {
    CFakeDesktop desk;
    for (const char* program : {"firefox", "chromium", "opera"}) desk.Program(program);
    desk.Desktop("home_data", "firefox.desktop", "Network;WebBrowser;", "firefox %u");
    desk.Desktop("share1", "firefox.desktop", "WebBrowser;", desk.Bin() + "/firefox -new %u");
    desk.Desktop("share1", "opera-tool.desktop", "Utility;", desk.Bin() + "/opera");
    desk.Desktop("share2", "chromium.desktop", "WebBrowser", "\"" + desk.Bin() + "/chromium\" %U");
    desk.Desktop("share2", "edge.desktop", "WebBrowser;", "/nonexistent/microsoft-edge %U");
    CollectInstalledBrowsers();
    std::vector<std::string> listed;
    for (const CBrowserEntry& entry : g_browserList)
        listed.push_back(entry.strName + "=" + entry.strPath);
    const std::string bin = desk.Bin();
    EXPECT_EQ(listed,
              (std::vector<std::string>{"Firefox=" + bin + "/firefox",
                                        "Chrome=" + bin + "/chromium", "Opera=" + bin + "/opera"}));
}

TEST_F(BrowserLaunchTest, SettingWinsWhenInstalledElseChromeIsChosenAndSaved) {
    const std::tuple<const char*, std::vector<std::string>, const char*, bool> cases[] = {
        {"Firefox", {"firefox", "chromium"}, "firefox", false},
        {"Opera", {"firefox", "chromium-browser"}, "chromium-browser", true},
        {"Edge", {"microsoft-edge", "google-chrome"}, "microsoft-edge", false},
    };
    for (const auto& [setting, programs, chosen, bSaved] : cases) {
        CFakeDesktop desk;
        for (const std::string& program : programs) desk.Program(program);
        g_appSettings.strBrowser = setting;
        CollectInstalledBrowsers();
        ChooseDefaultBrowser();
        EXPECT_EQ(g_strBrowserPath, JoinPath(desk.Bin(), chosen)) << setting;
        EXPECT_EQ(g_appSettings.strBrowser, bSaved ? "Chrome" : setting);
        EXPECT_EQ(desk.SavedSettings().find("bro=Chrome") != std::string::npos, bSaved);
    }
}

TEST_F(BrowserLaunchTest, WithoutSettingOrChromeTheHttpHandlerDecides) {
    const std::pair<const char*, const char*> queries[] = {
        {"xdg-settings", "[ \"$1 $2\" = 'get default-web-browser' ] && echo firefox.desktop"},
        {"xdg-mime", "[ \"$3\" = x-scheme-handler/http ] && echo firefox.desktop"},
        {"no-handler", "exit 0"}};
    for (const auto& [tool, script] : queries) {
        CFakeDesktop desk;
        desk.Program(tool, script);
        desk.Desktop("share2", "firefox.desktop", "Network;", "\"/opt/x/firefox.exe\" -osint %u");
        g_appSettings.strBrowser = "Opera";
        CollectInstalledBrowsers();
        ChooseDefaultBrowser();
        const bool bHandler = std::string(tool) != "no-handler";
        EXPECT_EQ(g_appSettings.strBrowser, bHandler ? "Firefox" : "Opera") << tool;
        EXPECT_EQ(g_strBrowserPath, bHandler ? "\"/opt/x/firefox.exe\"" : "") << tool;
        EXPECT_EQ(desk.SavedSettings().find("bro=Firefox") != std::string::npos, bHandler);
        if (!bHandler) {
            EXPECT_FALSE(OpenUrlInBrowser("http://127.0.0.1:1/"));
        }
    }
}

TEST_F(BrowserLaunchTest, AddressReachesTheChosenProgramAsOneArgument) {
    const std::string address = "http://127.0.0.1:8080/a b;rm -rf ~ $(touch x)|'q'\"";
    for (const auto& [setting, program] :
         {std::pair{"Firefox", "firefox"}, std::pair{"Edge", "microsoft-edge"}}) {
        CFakeDesktop desk;
        desk.Program(program);
        g_appSettings.strBrowser = setting;
        CollectInstalledBrowsers();
        ChooseDefaultBrowser();
        if (std::string(setting) == "Edge") g_strBrowserPath.clear();  // Edge needs no path
        ASSERT_TRUE(OpenUrlInBrowser(address)) << setting;
        EXPECT_EQ(desk.RecordedArguments(), "[" + address + "]\nend\n") << setting;
    }
}

}  // namespace
