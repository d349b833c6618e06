// The uninstall list of the Wine prefix, read from its machine registry file (parsed by
// installed_programs_common.cc). Windows paths of the prefix lead to folders of this system
// through the drive links in "<prefix>/dosdevices" ("c:" -> "../drive_c").
#include <stdlib.h>

#include <algorithm>
#include <map>

#include "platform/file_system.h"
#include "platform/installed_programs.h"
#include "platform/process.h"

namespace platform {
namespace {

std::string WinePrefix() {
    const char* szPrefix = getenv("WINEPREFIX");
    if (szPrefix != nullptr && *szPrefix != '\0') return szPrefix;
    return GetHomeDirectory() + "/.wine";
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The prefix's drives: lower-case letter -> the folder its link leads to.
std::map<char, std::string> ReadDrives(const std::string& strPrefix) {
    const std::string strDevices = JoinPath(strPrefix, "dosdevices");
    std::map<char, std::string> drives;
    std::vector<std::string> names;
    if (!ListDirectory(strDevices, &names)) return drives;
    for (const std::string& name : names) {
        const char cLetter = name.empty() ? '\0' : LowerAscii(name[0]);
        if (name.size() != 2 || name[1] != ':' || cLetter < 'a' || cLetter > 'z') continue;
        std::string strFolder;
        if (ResolveRealPath(JoinPath(strDevices, name), &strFolder) && DirectoryExists(strFolder)) {
            drives.emplace(cLetter, strFolder);
        }
    }
    return drives;
}

// "C:\Program Files\X\" -> "<drive folder>/Program Files/X/"; empty for a path that names no
// drive of the prefix or is relative to a drive's current folder ("C:X").
std::string MapWindowsPath(std::string strPath, const std::map<char, std::string>& drives) {
    if (strPath.size() < 3 || strPath[1] != ':') return "";
    const auto it = drives.find(LowerAscii(strPath[0]));
    std::replace(strPath.begin(), strPath.end(), '\\', '/');
    if (it == drives.end() || strPath[2] != '/') return "";
    const std::string& strRoot = it->second;
    return (strRoot.ends_with('/') ? strRoot.substr(0, strRoot.size() - 1) : strRoot) +
           strPath.substr(2);
}

}  // namespace

bool ListInstalledPrograms(std::vector<CInstalledProgram>* pPrograms) {
    pPrograms->clear();
    const std::string strPrefix = WinePrefix();
    std::string strText;
    if (!ReadFileBytes(JoinPath(strPrefix, "system.reg"), &strText)) return false;
    *pPrograms = ParseWineUninstallEntries(strText);
    const std::map<char, std::string> drives = ReadDrives(strPrefix);
    for (CInstalledProgram& entry : *pPrograms) {
        entry.strLocation = MapWindowsPath(std::move(entry.strLocation), drives);
    }
    return true;
}

bool StartInstalledProgram(const std::string& strProgram, const std::vector<std::string>& args,
                           const std::string& strWorkingDir) {
    // wine itself starts even when the program is missing; a Windows start would fail.
    if (!FileExists(strProgram)) return false;
    // wine hands its arguments to the program as a Windows command line, quoting each that
    // needs it, so every argument reaches the program as it is given here.
    CSpawnRequest request;
    request.strProgram = "wine";
    request.args.push_back(strProgram);
    request.args.insert(request.args.end(), args.begin(), args.end());
    request.strWorkingDir = strWorkingDir;
    return SpawnDetached(request);
}

}  // namespace platform
