// Installed browsers from the XDG desktop entries and the known browser programs on PATH, the
// choice among them, and opening an address in the chosen one.
#include "support/browser_launch.h"

#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/file_system.h"
#include "platform/process.h"
#include "support/desktop_entry.h"
#include "support/settings.h"
#include "support/xml_markup.h"

std::vector<CBrowserEntry> g_browserList;
std::string g_strBrowserPath;

namespace {

struct CNameRow {
    std::string_view key;
    const char* szName;
};

// Matched against a program's file name, exact case. The ".exe" rows name the Windows
// programs; each is followed by the same browser's program names on this platform.
constexpr CNameRow kPathNames[] = {
    {"opera.exe", "Opera"},        {"opera", "Opera"},         {"iexplore.exe", "IE"},
    {"MicrosoftEdge.exe", "Edge"}, {"microsoft-edge", "Edge"}, {"firefox.exe", "Firefox"},
    {"firefox", "Firefox"},        {"safari.exe", "Safari"},   {"SogouExplorer.exe", "Sogo"},
    {"Maxthon.exe", "Maxthon"},    {"maxthon", "Maxthon"},     {"360se.exe", "360se"},
    {"360chrome.exe", "360"},      {"chrome.exe", "Chrome"},   {"google-chrome", "Chrome"},
    {"chromium", "Chrome"},        {"UCBrowser.exe", "UC"},    {"QQBrowser.exe", "QQ"},
    {"baidubrowser.exe", "Baidu"},
};

// Matched against the lower-case command of the http handler, in the same manner.
constexpr CNameRow kHandlerNames[] = {
    {"iexplore.exe", "IE"},     {"IEXPLORE.EXE", "IE"},        {"firefox.exe", "Firefox"},
    {"firefox", "Firefox"},     {"sogouexplorer.exe", "Sogo"}, {"maxthon.exe", "Maxthon"},
    {"maxthon", "Maxthon"},     {"360se.exe", "360se"},        {"360chrome.exe", "360chrome"},
    {"chrome.exe", "Chrome"},   {"google-chrome", "Chrome"},   {"chromium", "Chrome"},
    {"ucbrowser.exe", "UC"},    {"qqbrowser.exe", "QQ"},       {"baidubrowser.exe", "Baidu"},
    {"safari.exe", "Safari"},   {"opera.exe", "Opera"},        {"opera", "Opera"},
    {"microsoft-edge", "Edge"},
};

// Chrome's programs, in the order they are tried as the Chrome candidate.
constexpr const char* kChromePrograms[] = {"google-chrome", "google-chrome-stable", "chromium",
                                           "chromium-browser"};
constexpr const char* kEdgeProgram = "microsoft-edge";
constexpr const char* kOtherPrograms[] = {"opera",   "microsoft-edge", "microsoft-edge-stable",
                                          "firefox", "firefox-esr",    "maxthon"};

std::string NameFromTable(std::span<const CNameRow> table, std::string_view text) {
    for (const CNameRow& row : table) {
        if (text.find(row.key) != std::string_view::npos) return row.szName;
    }
    return {};
}

std::string EnvironmentOr(const char* szName, const std::string& fallback) {
    const char* szValue = std::getenv(szName);
    return (szValue != nullptr && *szValue != '\0') ? szValue : fallback;
}

// $XDG_DATA_HOME/applications, then each $XDG_DATA_DIRS folder's applications; folders that
// are not absolute are ignored, as the XDG base directory rules ask.
std::vector<std::string> ApplicationFolders() {
    const std::string home = EnvironmentOr("HOME", "");
    std::vector<std::string> bases{EnvironmentOr(
        "XDG_DATA_HOME", home.empty() ? "" : platform::JoinPath(home, ".local/share"))};
    for (std::string& dir :
         SplitText(EnvironmentOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
        bases.push_back(std::move(dir));
    std::vector<std::string> folders;
    for (const std::string& base : bases) {
        if (!base.empty() && base.front() == '/')
            folders.push_back(platform::JoinPath(base, "applications"));
    }
    return folders;
}

// The program a command starts: its first word, looked up on PATH when it is a bare name.
std::string ProgramOfCommand(std::string_view command) {
    const std::vector<std::string> words = ExecWords(command);
    if (words.empty()) return {};
    return words[0].find('/') != std::string::npos ? words[0]
                                                   : platform::FindProgramOnPath(words[0]);
}

bool HasCategory(std::string_view categories, std::string_view wanted) {
    for (const std::string& category : SplitText(categories, ';')) {
        if (category == wanted) return true;
    }
    return false;
}

void AddDesktopBrowsers(const std::string& folder) {
    std::vector<std::string> names;
    if (!platform::ListDirectory(folder, &names)) return;
    for (const std::string& name : names) {
        std::string content;
        if (!name.ends_with(".desktop") ||
            !platform::ReadFileBytes(platform::JoinPath(folder, name), &content) ||
            !HasCategory(DesktopEntryValue(content, "Categories"), "WebBrowser"))
            continue;
        const std::string path = ProgramOfCommand(DesktopEntryValue(content, "Exec"));
        const std::string browserName = BrowserNameFromPath(path);
        if (!browserName.empty()) AddBrowser(browserName, path);
    }
}

void AddProgramsOnPath(std::span<const char* const> programs, const char* szFixedName) {
    for (const char* szProgram : programs) {
        const std::string path = platform::FindProgramOnPath(szProgram);
        const std::string name = szFixedName != nullptr ? szFixedName : BrowserNameFromPath(path);
        if (!path.empty() && !name.empty()) AddBrowser(name, path);
    }
}

// The desktop entry ("firefox.desktop") of the system's handler for http addresses.
std::string HandlerDesktopId() {
    const platform::CSpawnRequest queries[] = {
        {"xdg-settings", {"get", "default-web-browser"}, {}, {}},
        {"xdg-mime", {"query", "default", "x-scheme-handler/http"}, {}, {}},
    };
    for (const platform::CSpawnRequest& query : queries) {
        std::string output;
        if (platform::RunAndCapture(query, &output) != 0) continue;
        const std::string id(TrimText(output.substr(0, output.find('\n'))));
        if (id.ends_with(".desktop") && id.find('/') == std::string::npos) return id;
    }
    return {};
}

// The Exec command of the http handler's desktop entry, from the first folder that holds it.
std::string HandlerCommand() {
    const std::string id = HandlerDesktopId();
    if (id.empty()) return {};
    for (const std::string& folder : ApplicationFolders()) {
        std::string content;
        if (platform::ReadFileBytes(platform::JoinPath(folder, id), &content))
            return DesktopEntryValue(content, "Exec");
    }
    return {};
}

void SelectAndSave(const std::string& strName, const std::string& strPath) {
    g_appSettings.strBrowser = strName;
    g_strBrowserPath = strPath;
    SaveSettings();
}

// The http handler decides. The command keeps its original case (file names here are case
// sensitive) and, when a quoted program is followed by arguments, ends after that quote.
void SelectHandlerBrowser() {
    const std::string command = HandlerCommand();
    const std::string name = BrowserNameFromHandler(command);
    if (name.empty()) return;
    const size_t nQuote = command.find("\" ");
    const std::string path = nQuote == std::string::npos ? command : command.substr(0, nQuote + 1);
    AddBrowser(name, path);
    SelectAndSave(name, path);
}

bool StartBrowser(const std::string& strProgram, const std::string& strAddress) {
    if (strProgram.empty()) return false;
    platform::CSpawnRequest request;
    request.strProgram = strProgram;
    request.args = {strAddress};
    return platform::SpawnDetached(request);
}

}  // namespace

std::string BrowserNameFromPath(const std::string& strPath) {
    return NameFromTable(kPathNames, platform::FileNameOf(strPath));
}

std::string BrowserNameFromHandler(const std::string& strCommand) {
    return NameFromTable(kHandlerNames, xml::ToLowerAscii(strCommand));
}

void AddBrowser(const std::string& strName, const std::string& strPath) {
    for (const CBrowserEntry& entry : g_browserList) {
        if (entry.strName == strName) return;
    }
    if (platform::FileExists(strPath)) g_browserList.push_back({strName, strPath});
}

void CollectInstalledBrowsers() {
    g_browserList.clear();
    for (const std::string& folder : ApplicationFolders()) AddDesktopBrowsers(folder);
    AddProgramsOnPath(kOtherPrograms, nullptr);
    AddProgramsOnPath(kChromePrograms, nullptr);
}

void ChooseDefaultBrowser() {
    g_strBrowserPath.clear();
    AddProgramsOnPath(kChromePrograms, "Chrome");
    AddProgramsOnPath(std::span(&kEdgeProgram, 1), "Edge");
    std::string chromePath;
    for (const CBrowserEntry& entry : g_browserList) {
        if (entry.strName == g_appSettings.strBrowser) {
            g_strBrowserPath = entry.strPath;
            return;
        }
        if (entry.strName == "Chrome" && chromePath.empty()) chromePath = entry.strPath;
    }
    if (!chromePath.empty()) {
        SelectAndSave("Chrome", chromePath);
    } else {
        SelectHandlerBrowser();
    }
}

void SelectBrowserByName(const std::string& strName) {
    for (const CBrowserEntry& entry : g_browserList) {
        if (entry.strName == strName) {
            g_strBrowserPath = entry.strPath;
            return;
        }
    }
}

bool OpenUrlInBrowser(const std::string& strAddress) {
    if (g_appSettings.strBrowser == "Edge")
        return StartBrowser(platform::FindProgramOnPath(kEdgeProgram), strAddress);
    if (g_strBrowserPath.empty()) return false;
    // The http handler's entry may hold a quoted program or a command; run its program.
    const std::string program = platform::FileExists(g_strBrowserPath)
                                    ? g_strBrowserPath
                                    : ProgramOfCommand(g_strBrowserPath);
    return StartBrowser(program, strAddress);
}
