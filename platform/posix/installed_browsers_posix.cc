// Browsers on this system: the XDG desktop entries of category WebBrowser, known browser
// programs on PATH, and the http handler that xdg-settings or xdg-mime names.
#include "platform/installed_browsers.h"

#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/file_system.h"
#include "platform/posix/desktop_entry.h"
#include "platform/process.h"

namespace platform {

namespace {

// Chrome's programs, in the order they are tried as the Chrome candidate.
constexpr const char* kChromePrograms[] = {"google-chrome", "google-chrome-stable", "chromium",
                                           "chromium-browser"};
constexpr const char* kEdgeProgram = "microsoft-edge";
constexpr const char* kOtherPrograms[] = {"opera",   "microsoft-edge", "microsoft-edge-stable",
                                          "firefox", "firefox-esr",    "maxthon"};

std::string EnvironmentOr(const char* szName, const std::string& fallback) {
    const char* szValue = std::getenv(szName);
    return (szValue != nullptr && *szValue != '\0') ? szValue : fallback;
}

// $XDG_DATA_HOME/applications, then each $XDG_DATA_DIRS folder's applications; folders that
// are not absolute are ignored, as the XDG base directory rules ask.
std::vector<std::string> ApplicationFolders() {
    const std::string home = EnvironmentOr("HOME", "");
    std::vector<std::string> bases{
        EnvironmentOr("XDG_DATA_HOME", home.empty() ? "" : JoinPath(home, ".local/share"))};
    for (std::string& dir :
         SplitText(EnvironmentOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
        bases.push_back(std::move(dir));
    std::vector<std::string> folders;
    for (const std::string& base : bases) {
        if (!base.empty() && base.front() == '/') folders.push_back(JoinPath(base, "applications"));
    }
    return folders;
}

// The program a command starts: its first word, looked up on PATH when it is a bare name.
std::string ProgramOfCommand(std::string_view command) {
    const std::vector<std::string> words = ExecWords(command);
    if (words.empty()) return {};
    return words[0].find('/') != std::string::npos ? words[0] : FindProgramOnPath(words[0]);
}

bool HasCategory(std::string_view categories, std::string_view wanted) {
    for (const std::string& category : SplitText(categories, ';')) {
        if (category == wanted) return true;
    }
    return false;
}

void AppendDesktopBrowsers(const std::string& folder, std::vector<std::string>* pPrograms) {
    std::vector<std::string> names;
    if (!ListDirectory(folder, &names)) return;
    for (const std::string& name : names) {
        std::string content;
        if (!name.ends_with(".desktop") || !ReadFileBytes(JoinPath(folder, name), &content) ||
            !HasCategory(DesktopEntryValue(content, "Categories"), "WebBrowser"))
            continue;
        const std::string path = ProgramOfCommand(DesktopEntryValue(content, "Exec"));
        if (!path.empty()) pPrograms->push_back(path);
    }
}

void AppendProgramsOnPath(std::span<const char* const> programs,
                          std::vector<std::string>* pPaths) {
    for (const char* szProgram : programs) {
        const std::string path = FindProgramOnPath(szProgram);
        if (!path.empty()) pPaths->push_back(path);
    }
}

// The desktop entry ("firefox.desktop") of the system's handler for http addresses.
std::string HandlerDesktopId() {
    const CSpawnRequest queries[] = {
        {"xdg-settings", {"get", "default-web-browser"}, {}, {}},
        {"xdg-mime", {"query", "default", "x-scheme-handler/http"}, {}, {}},
    };
    for (const CSpawnRequest& query : queries) {
        std::string output;
        if (RunAndCapture(query, &output) != 0) continue;
        const std::string id(TrimText(output.substr(0, output.find('\n'))));
        if (id.ends_with(".desktop") && id.find('/') == std::string::npos) return id;
    }
    return {};
}

bool StartBrowser(const std::string& strProgram, const std::string& strAddress) {
    if (strProgram.empty()) return false;
    CSpawnRequest request;
    request.strProgram = strProgram;
    request.args = {strAddress};
    return SpawnDetached(request);
}

}  // namespace

std::vector<std::string> RegisteredBrowserPrograms() {
    std::vector<std::string> programs;
    for (const std::string& folder : ApplicationFolders()) AppendDesktopBrowsers(folder, &programs);
    AppendProgramsOnPath(kOtherPrograms, &programs);
    AppendProgramsOnPath(kChromePrograms, &programs);
    return programs;
}

std::vector<std::string> ChromeCandidatePaths() {
    std::vector<std::string> paths;
    AppendProgramsOnPath(kChromePrograms, &paths);
    return paths;
}

std::string EdgeCandidatePath() { return FindProgramOnPath(kEdgeProgram); }

// The Exec command of the http handler's desktop entry, from the first folder that holds it.
std::string HttpHandlerCommand() {
    const std::string id = HandlerDesktopId();
    if (id.empty()) return {};
    for (const std::string& folder : ApplicationFolders()) {
        std::string content;
        if (ReadFileBytes(JoinPath(folder, id), &content))
            return DesktopEntryValue(content, "Exec");
    }
    return {};
}

// The http handler's entry may hold a quoted program or a command; its program runs.
bool OpenAddressWithBrowser(const std::string& strProgram, const std::string& strAddress) {
    return StartBrowser(FileExists(strProgram) ? strProgram : ProgramOfCommand(strProgram),
                        strAddress);
}

bool OpenAddressInEdge(const std::string& strAddress) {
    return StartBrowser(FindProgramOnPath(kEdgeProgram), strAddress);
}

}  // namespace platform
