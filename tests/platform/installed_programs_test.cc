#include "platform/installed_programs.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>

#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "platform/thread_util.h"
#include "tests/fakes/test_env.h"

namespace platform {
namespace {

const char kEntryName[] = "Zelvo Test \xE2\x9C\x93";

// One uninstall entry, there while the object lives, where the system keeps them: the machine
// registry on Windows (Wine runs tests with the rights to write it), else a Wine prefix's
// registry file. Its location names no drive of the fake prefix, so it reads back as "" there.
#ifdef _WIN32
const char kExpectedLocation[] = "Q:\\Zelvo Test\\";

class CUninstallEntry {
  public:
    CUninstallEntry() {
        HKEY hKey = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                            nullptr, &hKey, nullptr) != ERROR_SUCCESS)
            return;
        m_bMade = SetText(hKey, L"DisplayName", L"Zelvo Test \x2713") &&
                  SetText(hKey, L"InstallLocation", L"Q:\\Zelvo Test\\");
        RegCloseKey(hKey);
    }
    ~CUninstallEntry() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0); }
    bool Made() const { return m_bMade; }

  private:
    static constexpr wchar_t kKey[] =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZelvoTest";
    static bool SetText(HKEY hKey, const wchar_t* szName, const std::wstring& value) {
        return RegSetValueExW(hKey, szName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    bool m_bMade = false;
};
#else
const char kExpectedLocation[] = "";

class CUninstallEntry {
  public:
    CUninstallEntry() {
        m_bMade = CreateDirectories(JoinPath(m_strPrefix, "dosdevices")) &&
                  WriteFileAtomic(JoinPath(m_strPrefix, "system.reg"),
                                  "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall"
                                  "\\\\ZelvoTest] 1\n\"DisplayName\"=\"Zelvo Test \\x2713\"\n"
                                  "\"InstallLocation\"=\"Q:\\\\Zelvo Test\\\\\"\n");
    }
    ~CUninstallEntry() { RemoveDirectoryTree(m_strPrefix); }
    bool Made() const { return m_bMade; }

  private:
    const std::string m_strPrefix = MakeTempDirectory("zelvo_prefix_");
    CScopedVariable m_variable{"WINEPREFIX", m_strPrefix};
    bool m_bMade = false;
};
#endif

TEST(InstalledProgramsTest, ListHoldsTheSystemsUninstallEntries) {
    CUninstallEntry entry;
    ASSERT_TRUE(entry.Made());
    std::vector<CInstalledProgram> programs;
    ASSERT_TRUE(ListInstalledPrograms(&programs));
    const auto it = std::find_if(programs.begin(), programs.end(), [](const auto& program) {
        return program.strName == kEntryName;
    });
    ASSERT_NE(it, programs.end());
    EXPECT_EQ(it->strLocation, kExpectedLocation);
}

TEST(InstalledProgramsTest, RegistryFileTextParsesOnEverySystem) {
    const std::vector<CInstalledProgram> programs = ParseWineUninstallEntries(
        "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\B]\n"
        "\"DisplayName\"=\"Thirty-two\"\n"
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\A]\n"
        "\"InstallLocation\"=str(2):\"C:\\\\A\\\\\"\n");
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].strLocation, "C:\\A\\");
    EXPECT_EQ(programs[1].strName, "Thirty-two");
}

TEST(InstalledProgramsTest, StartNeedsTheProgramFile) {
    EXPECT_FALSE(StartInstalledProgram("/nonexistent/Tool.exe", {}, ""));
#ifdef _WIN32
    // Here the program itself starts: the helper of the process tests makes its marker file.
    const std::string strDir = MakeTempDirectory("zelvo_start_");
    const std::string strHelper =
        JoinPath(ParentDirectory(GetExecutablePath()), ZELVO_PROCESS_HELPER_FILE);
    ASSERT_TRUE(StartInstalledProgram(strHelper, {"touch", "started here"}, strDir));
    const std::string strMarker = JoinPath(strDir, "started here");
    for (int i = 0; i < 2000 && !FileExists(strMarker); ++i) SleepMs(10);
    EXPECT_TRUE(FileExists(strMarker));
    RemoveDirectoryTree(strDir);
#endif
}

}  // namespace
}  // namespace platform
