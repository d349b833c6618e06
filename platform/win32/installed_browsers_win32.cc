// Browsers on Windows: the StartMenuInternet clients of the machine and of the user, Chrome's
// updater record and usual folders, Edge's system folder, and the http handler's command, all
// read from the registry and the shell's folders; addresses are opened through the shell.
#include "platform/installed_browsers.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/process.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

constexpr wchar_t kClientsKey[] = L"SOFTWARE\\Clients\\StartMenuInternet";
constexpr wchar_t kChromeUpdateKey[] =
    L"Software\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
constexpr wchar_t kChromeInFolder[] = L"\\Google\\Chrome\\Application\\chrome.exe";
constexpr char kEdgeProgram[] =
    "C:\\Windows\\SystemApps\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\\MicrosoftEdge.exe";
constexpr wchar_t kHttpCommandKey[] = L"http\\shell\\open\\command";
constexpr DWORD kNameUnits = 260;
constexpr DWORD kCommandBytes = 2048;
constexpr DWORD kHandlerBytes = 260 * sizeof(wchar_t);

// A value of a key below hRoot (nullptr: the key's default value) of at most cbLimit bytes;
// empty when the key or value is missing or longer.
std::wstring ReadValue(HKEY hRoot, const std::wstring& subKey, const wchar_t* szValue,
                       DWORD cbLimit) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, subKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return {};
    std::wstring data(cbLimit / sizeof(wchar_t), L'\0');
    DWORD cbData = cbLimit;
    const LONG nResult = RegQueryValueExW(hKey, szValue, nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(data.data()), &cbData);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS ? std::wstring(RegistryText(data.data(), cbData))
                                    : std::wstring();
}

// The first value of a key, whatever its name; empty when there is none.
std::wstring ReadFirstValue(HKEY hRoot, const wchar_t* szSubKey, DWORD cbLimit) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, szSubKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return {};
    wchar_t szName[kNameUnits] = {};
    DWORD cchName = kNameUnits;
    std::wstring data(cbLimit / sizeof(wchar_t), L'\0');
    DWORD cbData = cbLimit;
    const LONG nResult = RegEnumValueW(hKey, 0, szName, &cchName, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(data.data()), &cbData);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS ? std::wstring(RegistryText(data.data(), cbData))
                                    : std::wstring();
}

// A registered open command names its program, in quotes when the path has blanks: the first
// and the last character then go.
std::wstring ProgramOfOpenCommand(const std::wstring& command) {
    if (command.empty() || command.front() != L'"') return command;
    return command.size() < 2 ? std::wstring() : command.substr(1, command.size() - 2);
}

void AppendClientPrograms(HKEY hRoot, std::vector<std::string>* pPrograms) {
    HKEY hClients = nullptr;
    if (RegOpenKeyExW(hRoot, kClientsKey, 0, KEY_READ, &hClients) != ERROR_SUCCESS) return;
    for (DWORD nIndex = 0;; ++nIndex) {
        wchar_t szClient[kNameUnits] = {};
        DWORD cchClient = kNameUnits;
        const LONG nResult = RegEnumKeyExW(hClients, nIndex, szClient, &cchClient, nullptr,
                                           nullptr, nullptr, nullptr);
        if (nResult == ERROR_MORE_DATA) continue;  // a name too long for a client
        if (nResult != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS at the end
        const std::wstring command = ReadValue(
            hClients, std::wstring(szClient) + L"\\shell\\open\\command", nullptr, kCommandBytes);
        const std::wstring program = ProgramOfOpenCommand(command);
        if (!program.empty()) pPrograms->push_back(Utf8FromWide(program));
    }
    RegCloseKey(hClients);
}

// chrome.exe below the short form of a shell folder; empty when the folder is unknown.
std::string ChromeBelowFolder(int nFolder) {
    wchar_t szFolder[MAX_PATH] = {};
    wchar_t szShort[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, nFolder, nullptr, SHGFP_TYPE_CURRENT, szFolder)))
        return {};
    const DWORD cchShort = GetShortPathNameW(szFolder, szShort, MAX_PATH);
    if (cchShort == 0 || cchShort >= MAX_PATH) return {};
    return Utf8FromWide(std::wstring(szShort) + kChromeInFolder);
}

}  // namespace

std::vector<std::string> RegisteredBrowserPrograms() {
    std::vector<std::string> programs;
    AppendClientPrograms(HKEY_LOCAL_MACHINE, &programs);
    AppendClientPrograms(HKEY_CURRENT_USER, &programs);
    return programs;
}

std::vector<std::string> ChromeCandidatePaths() {
    std::vector<std::string> paths;
    const std::wstring launch =
        ReadValue(HKEY_CURRENT_USER, kChromeUpdateKey, L"InstallerSuccessLaunchCmdLine",
                  kCommandBytes);
    if (!launch.empty()) paths.push_back(Utf8FromWide(launch));
    for (const int nFolder : {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PROGRAM_FILES}) {
        std::string path = ChromeBelowFolder(nFolder);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

std::string EdgeCandidatePath() { return kEdgeProgram; }

std::string HttpHandlerCommand() {
    std::wstring command = ReadFirstValue(HKEY_CLASSES_ROOT, kHttpCommandKey, kHandlerBytes);
    if (!command.empty()) CharLowerBuffW(command.data(), static_cast<DWORD>(command.size()));
    return Utf8FromWide(command);
}

// The shell shows its own message when the program does not start; the address counts as
// handed over either way.
bool OpenAddressWithBrowser(const std::string& strProgram, const std::string& strAddress) {
    OpenWithShell("open", strProgram, strAddress);
    return true;
}

bool OpenAddressInEdge(const std::string& strAddress) {
    OpenWithShell("", "microsoft-edge:" + strAddress, "");
    return true;
}

}  // namespace platform
