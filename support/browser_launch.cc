// The installed browsers the system registers, the choice among them, and opening an address in
// the chosen one.
#include "support/browser_launch.h"

#include <span>
#include <string_view>

#include "platform/file_system.h"
#include "platform/installed_browsers.h"
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
// programs; each is followed by the same browser's program names on Linux.
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

std::string NameFromTable(std::span<const CNameRow> table, std::string_view text) {
    for (const CNameRow& row : table) {
        if (text.find(row.key) != std::string_view::npos) return row.szName;
    }
    return {};
}

void SelectAndSave(const std::string& strName, const std::string& strPath) {
    g_appSettings.strBrowser = strName;
    g_strBrowserPath = strPath;
    SaveSettings();
}

// The http handler decides. The command keeps the letter case the system gives it and, when a
// quoted program is followed by arguments, ends after that quote.
void SelectHandlerBrowser() {
    const std::string command = platform::HttpHandlerCommand();
    const std::string name = BrowserNameFromHandler(command);
    if (name.empty()) return;
    const size_t nQuote = command.find("\" ");
    const std::string path = nQuote == std::string::npos ? command : command.substr(0, nQuote + 1);
    AddBrowser(name, path);
    SelectAndSave(name, path);
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
    for (const std::string& path : platform::RegisteredBrowserPrograms()) {
        const std::string name = BrowserNameFromPath(path);
        if (!name.empty()) AddBrowser(name, path);
    }
}

void ChooseDefaultBrowser() {
    g_strBrowserPath.clear();
    for (const std::string& path : platform::ChromeCandidatePaths()) AddBrowser("Chrome", path);
    AddBrowser("Edge", platform::EdgeCandidatePath());
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
    if (g_appSettings.strBrowser == "Edge") return platform::OpenAddressInEdge(strAddress);
    if (g_strBrowserPath.empty()) return false;
    return platform::OpenAddressWithBrowser(g_strBrowserPath, strAddress);
}
