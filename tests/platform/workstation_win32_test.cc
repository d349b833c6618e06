// The Windows answers about COM ports, browsers, shortcuts and the clipboard, against registry
// hives of the test's own (the predefined keys are redirected for the test's life), shell links
// it makes and the real clipboard.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/com_port_map.h"
#include "platform/file_system.h"
#include "platform/installed_browsers.h"
#include "platform/shortcuts.h"
#include "platform/win32/wide_text.h"

namespace {

// The tests' own keys, one folder per process: test programs run side by side in one registry.
const std::wstring g_testRoot =
    L"Software\\ZelvoWorkstationTest\\" + std::to_wstring(GetCurrentProcessId());

void SetText(HKEY hRoot, const std::wstring& key, const wchar_t* szName, const std::wstring& text) {
    RegSetKeyValueW(hRoot, key.c_str(), szName, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT lead to empty keys below the
// user's own hive while the object lives.
class CTestHives {
  public:
    CTestHives() {
        for (int i = 0; i < 3; ++i) {
            const std::wstring key = g_testRoot + L"\\" + std::to_wstring(i);
            RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &m_keys[i], nullptr);
        }
        for (int i = 0; i < 3; ++i) RegOverridePredefKey(kHives[i], m_keys[i]);
    }
    ~CTestHives() {
        for (int i = 0; i < 3; ++i) {
            RegOverridePredefKey(kHives[i], nullptr);
            RegCloseKey(m_keys[i]);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, g_testRoot.c_str());
    }

  private:
    static inline const HKEY kHives[3] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
                                          HKEY_CLASSES_ROOT};
    HKEY m_keys[3] = {};
};

TEST(WorkstationWin32Test, PortNumbersComeFromTheSerialMapThenTheNameDatabase) {
    CTestHives hives;
    std::vector<int> numbers;
    platform::AppendComPortNumbers(&numbers);
    EXPECT_TRUE(numbers.empty());

    const std::wstring map = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    const std::pair<const wchar_t*, const wchar_t*> values[] = {
        {L"\\Device\\Serial0", L"COM3"}, {L"a", L"COM"}, {L"b", L"COMX1"}, {L"c", L"com12"}};
    for (const auto& [szName, szText] : values) SetText(HKEY_LOCAL_MACHINE, map, szName, szText);
    const BYTE comDb[] = {0x05};
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter",
                    L"ComDB", REG_BINARY, comDb, sizeof(comDb));
    platform::AppendComPortNumbers(&numbers);
    // The map's values come in the registry's order, the database's ports after them; COM3 is
    // in both.
    ASSERT_EQ(numbers.size(), 4u);
    std::sort(numbers.begin(), numbers.begin() + 2);
    EXPECT_EQ(numbers, (std::vector<int>{3, 12, 1, 3}));
}

// The setup library reads its class and device lists from the registry under Wine, so a port
// device can be made there; Windows keeps them elsewhere.
TEST(WorkstationWin32Test, PortIsPresentForAPortsDeviceOfExactlyThatName) {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr)
        GTEST_SKIP() << "needs a device list made in the registry";
    CTestHives hives;
    const wchar_t kPortsClass[] = L"{4D36E978-E325-11CE-BFC1-08002BE10318}";
    const std::wstring device = L"System\\CurrentControlSet\\Enum\\Root\\PORTS\\0000";
    SetText(HKEY_LOCAL_MACHINE, std::wstring(L"System\\CurrentControlSet\\Control\\Class\\") +
                                    kPortsClass, L"Class", L"Ports");
    SetText(HKEY_LOCAL_MACHINE, device, L"ClassGUID", kPortsClass);
    SetText(HKEY_LOCAL_MACHINE, device + L"\\Device Parameters", L"PortName", L"COM5");
    const std::pair<const char*, bool> cases[] = {
        {"COM5", true}, {"com5", false}, {"COM6", false}, {"COM", false}};
    for (const auto& [szName, bPresent] : cases)
        EXPECT_EQ(platform::IsComPortPresent(szName), bPresent) << szName;
}

TEST(WorkstationWin32Test, DevicePathIsTheDeviceNamespaceNameOfAComPort) {
    EXPECT_EQ(platform::ComPortDevicePath("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(platform::ComPortDevicePath("com12"), "");
    EXPECT_EQ(platform::ComPortDevicePath("LPT1"), "");
}

TEST(WorkstationWin32Test, BrowsersComeFromTheClientsOfMachineThenUser) {
    CTestHives hives;
    const std::wstring clients = L"SOFTWARE\\Clients\\StartMenuInternet\\";
    SetText(HKEY_LOCAL_MACHINE, clients + L"FIREFOX.EXE\\shell\\open\\command", nullptr,
            L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"");
    SetText(HKEY_LOCAL_MACHINE, clients + L"Broken\\shell", L"x", L"no command");
    SetText(HKEY_CURRENT_USER, clients + L"Opera\\shell\\open\\command", nullptr,
            L"C:\\Opera\\opera.exe");
    EXPECT_EQ(platform::RegisteredBrowserPrograms(),
              (std::vector<std::string>{"C:\\Program Files\\Mozilla Firefox\\firefox.exe",
                                        "C:\\Opera\\opera.exe"}));

    SetText(HKEY_CURRENT_USER,
            L"Software\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}",
            L"InstallerSuccessLaunchCmdLine", L"D:\\Chrome\\chrome.exe");
    const std::vector<std::string> chrome = platform::ChromeCandidatePaths();
    ASSERT_EQ(chrome.size(), 4u);  // the updater's record, then three folders
    EXPECT_EQ(chrome[0], "D:\\Chrome\\chrome.exe");
    for (size_t i = 1; i < chrome.size(); ++i)
        EXPECT_TRUE(chrome[i].ends_with("\\Google\\Chrome\\Application\\chrome.exe")) << chrome[i];
    EXPECT_TRUE(platform::EdgeCandidatePath().ends_with("\\MicrosoftEdge.exe"));

    EXPECT_EQ(platform::HttpHandlerCommand(), "");
    SetText(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr,
            L"\"C:\\Program Files\\Mozilla Firefox\\FIREFOX.EXE\" -osint -url \"%1\"");
    EXPECT_EQ(platform::HttpHandlerCommand(),
              "\"c:\\program files\\mozilla firefox\\firefox.exe\" -osint -url \"%1\"");
}

// A shell link to a program, made and read back through IShellLinkW.
class CShellLink {
  public:
    CShellLink() {
        CoInitialize(nullptr);
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         reinterpret_cast<void**>(&m_pLink));
        if (m_pLink != nullptr)
            m_pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&m_pFile));
    }
    ~CShellLink() {
        if (m_pFile != nullptr) m_pFile->Release();
        if (m_pLink != nullptr) m_pLink->Release();
        CoUninitialize();
    }
    bool Save(const std::wstring& path, const std::wstring& target) {
        return m_pFile != nullptr && SUCCEEDED(m_pLink->SetPath(target.c_str())) &&
               SUCCEEDED(m_pLink->SetIconLocation(L"old.ico", 3)) &&
               SUCCEEDED(m_pFile->Save(path.c_str(), TRUE));
    }
    std::wstring Icon(const std::wstring& path) {
        wchar_t szIcon[MAX_PATH] = {};
        int nIndex = -1;
        if (m_pFile == nullptr || FAILED(m_pFile->Load(path.c_str(), STGM_READ)) ||
            FAILED(m_pLink->GetIconLocation(szIcon, MAX_PATH, &nIndex)))
            return L"<none>";
        return std::wstring(szIcon) + L"," + std::to_wstring(nIndex);
    }

  private:
    IShellLinkW* m_pLink = nullptr;
    IPersistFile* m_pFile = nullptr;
};

TEST(WorkstationWin32Test, ShortcutTakesTheIconOnlyWhenItStartsTheProgram) {
    const std::string dir = platform::MakeTempDirectory("zelvo_links");
    const std::string program = platform::JoinPath(dir, "Tool.exe");
    ASSERT_TRUE(platform::WriteFileAtomic(program, "MZ"));
    const std::string link = platform::JoinPath(dir, "Tool.lnk");
    const std::wstring wideLink = platform::WideFromUtf8(link);
    const struct {
        std::string strProgram;
        std::string strIcon;
        std::wstring expected;
    } cases[] = {
        {program, "C:\\logo.ico", L"C:\\logo.ico,0"},
        {platform::JoinPath(dir, "tool.exe"), "C:\\logo.ico", L"old.ico,3"},
        {program, "", L"old.ico,3"},
    };
    for (const auto& c : cases) {
        CShellLink shellLink;
        ASSERT_TRUE(shellLink.Save(wideLink, platform::WideFromUtf8(program)));
        platform::UpdateShortcutIcon(link, c.strIcon, c.strProgram);
        EXPECT_EQ(shellLink.Icon(wideLink), c.expected) << c.strProgram << " " << c.strIcon;
    }
    platform::UpdateShortcutIcon(platform::JoinPath(dir, "missing.lnk"), "C:\\logo.ico", program);
    EXPECT_FALSE(platform::FileExists(platform::JoinPath(dir, "missing.lnk")));

    // The tool-named entry is the program file under that name.
    const std::string entry = platform::ToolProgramEntry(dir, "Acme");
    EXPECT_EQ(entry, platform::JoinPath(dir, "Acme.exe"));
    platform::PlaceToolProgramEntry(program, entry);
    EXPECT_TRUE(platform::FileExists(entry));
    EXPECT_FALSE(platform::FileExists(program));
    platform::RemoveDirectoryTree(dir);
}

TEST(WorkstationWin32Test, ClipboardHoldsTheTextAsUnicode) {
    ASSERT_TRUE(platform::SetClipboardText("Gr\xC3\xBC\xC3\x9F" "e \xE2\x9C\x93"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE hText = GetClipboardData(CF_UNICODETEXT);
    const std::wstring text =
        hText != nullptr ? static_cast<const wchar_t*>(GlobalLock(hText)) : L"";
    if (hText != nullptr) GlobalUnlock(hText);
    CloseClipboard();
    EXPECT_EQ(text, L"Gr\u00FC\u00DFe \u2713");
}

}  // namespace
