// The web browsers installed on the workstation, the one chosen for opening addresses outside
// the program, and opening an address in it. What the system knows about its browsers comes
// from platform/installed_browsers.h.
#pragma once

#include <string>
#include <vector>

struct CBrowserEntry {
    std::string strName;  // a name of the name tables: "Chrome", "Firefox", "Edge" ...
    std::string strPath;  // the program to run
};

// Installed browsers in insertion order; names are unique.
extern std::vector<CBrowserEntry> g_browserList;
// The selected browser's program; the selected name is the "bro" setting
// (g_appSettings.strBrowser).
extern std::string g_strBrowserPath;

// Fills g_browserList from the browser programs the system registers. Called once at start-up.
void CollectInstalledBrowsers();
// Adds the Chrome and Edge candidates and sets the selected name and path: the "bro" setting
// when that browser is installed, else Chrome (settings saved), else the system's handler for
// http addresses (settings saved); nothing selected when none of these is found.
void ChooseDefaultBrowser();
// Sets g_strBrowserPath to the path of the first entry with that name; unchanged when none.
void SelectBrowserByName(const std::string& strName);
// Opens the address in the selected browser: "Edge" opens it in Edge, otherwise the selected
// program runs with the address as its one argument. False when nothing is selected (the
// caller then handles the address itself).
bool OpenUrlInBrowser(const std::string& strAddress);

// The name tables: a browser program path (exact-case substrings, first match in table order),
// and the http handler's command (matched in lower case). Empty when nothing matches.
std::string BrowserNameFromPath(const std::string& strPath);
std::string BrowserNameFromHandler(const std::string& strCommand);
// Adds (name, path) unless the name is listed already or the program file does not exist.
void AddBrowser(const std::string& strName, const std::string& strPath);
