// The panel editor installation: which one is chosen (hmi.xml in the program directory), whether
// a folder holds an installed editor, its version, the installed editors that the system knows
// of, and starting the editor's download tool.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The chosen editor folder (ending with a separator) and its version text.
extern std::string g_strHmiFolder;
extern std::string g_strHmiVersion;

// Reads hmi.xml; a missing file or element leaves both values as they were.
void LoadHmiSettings();
// Writes both values into hmi.xml (made from its template when missing or unreadable).
void SaveHmiSettings();

// 1 when the folder holds the download tool and the simulator; an empty folder means the
// chosen one (hmi.xml read first).
int IsEditorInstalled(const std::string& strFolder);
// Non-zero when the folder holds the editor's program (a folder the user picked).
int IsEditorFolder(const std::string& strFolder);
// 1 with the version text from the folder's release log; else 0 and the version untouched.
int GetEditorVersion(std::string* pVersion, const std::string& strFolder);
// The installed editors' folders that the system's installed-program list names, each once.
void ScanInstalledEditors(std::vector<std::string>* pFolders);

// Looks a host name up: its address as text; false when it does not resolve.
using HostResolver = std::function<bool(const std::string& strHost, std::string* pAddress)>;
// The download tool's argument for the "url" "host:port[:extra]" of the JSON text:
// "LoadMode2 <address> 0 <port>", then " <extra>" when a second colon is there, the dots of the
// host's address replaced by spaces. False when there is no url, it has no colon, or the host
// does not resolve to an address of fewer than 32 characters.
bool MakeDownloadArgument(const std::string& strJson, const HostResolver& resolve,
                          std::string* pArgument);
// Starts the download tool for the "url" of the JSON argument. 1 when it was started.
int LaunchDownloadTool(const std::string& strArgument);
