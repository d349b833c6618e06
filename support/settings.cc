#include "support/settings.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "support/xml_document.h"

namespace {

const char kSection[] = "HMI";
const char kUpdateSection[] = "ORVAN";
// The update host and its download page: this machine until a deployment names its own.
const char kDefaultReqUrl[] = "http://127.0.0.1/download";
const char kDefaultReqServer[] = "127.0.0.1";
const size_t kReqUrlBufferSize = 64;
const size_t kReqServerBufferSize = 32;
const size_t kReqPathBufferSize = 64;
// The resolver of the update host's name: this machine unless a deployment names one.
const char kDefaultDnsServer[] = "127.0.0.1";
const size_t kDnsServerBufferSize = 32;

std::string ProgramFile(const char* name) {
    return platform::JoinPath(platform::GetProgramDirectory(), name);
}

int ReadInt(const std::string& path, const char* key, int defaultValue) {
    return platform::GetProfileInt(kSection, key, defaultValue, path);
}

std::string ReadString(const std::string& path, const char* key, const char* defaultValue,
                       size_t bufferSize) {
    return platform::GetProfileString(kSection, key, defaultValue, bufferSize, path);
}

// The brand word read again as 8-bit text, so a word stored in the legacy code page reads
// correctly. Text in the thread's code page (UTF-8) is what the wide read already holds, cut
// to the buffer in characters rather than in bytes, so it is kept.
std::string ReadRepAsAnsi(const std::string& path, const std::string& wideValue) {
    const std::string bytes = platform::GetProfileStringA(kSection, "rep", "box", kShortBufferSize,
                                                          platform::Utf8ToAnsi(path));
    if (platform::IsValidUtf8(bytes)) return wideValue;
    return platform::AnsiToUtf8(bytes);
}

void ReadUpdateServerSettings() {
    const std::string path = ProgramFile("UpdateInfo.ini");
    CAppSettings& s = g_appSettings;
    s.strReqUrl = platform::GetProfileString(kUpdateSection, "reqUrl", kDefaultReqUrl,
                                             kReqUrlBufferSize, path);
    s.strReqServer = platform::GetProfileString(kUpdateSection, "reqServer", kDefaultReqServer,
                                                kReqServerBufferSize, path);
    s.strReqPath = platform::GetProfileString(kUpdateSection, "reqPath", "/software/checkUpdate",
                                              kReqPathBufferSize, path);
    s.nReqPort = platform::GetProfileInt(kUpdateSection, "reqPort", 18081, path);
    s.strDnsServer = platform::GetProfileString(kUpdateSection, "dnsServer", kDefaultDnsServer,
                                                kDnsServerBufferSize, path);
    s.nDnsPort = platform::GetProfileInt(kUpdateSection, "dnsPort", 53, path);
}

// Loads WifiList.xml and positions it on its WifiList root. False when either is missing.
bool LoadWifiList(XmlDocument* doc, std::string* path) {
    *path = ProgramFile("WifiList.xml");
    if (!doc->LoadFile(*path)) return false;
    return doc->FindSibling("WifiList");
}

// The Help_Ch text of the release log, or empty.
std::string ReadHelpText() {
    XmlDocument doc;
    if (!doc.LoadFile(ProgramFile("ReleaseLog.log"))) return "";
    if (!doc.FindSibling("HMISet") || !doc.FindChild("Hmi")) return "";
    return doc.GetChildAttribute("Help_Ch");
}

}  // namespace

void ReadSettingsFile(CAppSettings* pSettings, int* pFirstRun, unsigned short* pLangId) {
    const std::string path = GetSettingsPath();
    CAppSettings& s = *pSettings;
    s.nOem = ReadInt(path, "oem", 1);
    *pFirstRun = ReadInt(path, "first", 0);
    s.nLogSeverity = ReadInt(path, "log", 99);
    s.nAppMode = ReadInt(path, "mode", 0);
    s.nTp = ReadInt(path, "tp", 0);
    s.nServer = ReadInt(path, "server", 0);
    s.strBrowser = ReadString(path, "bro", "Chrome", kBrowserBufferSize);
    s.szLang = ReadString(path, "lang", "en", kShortBufferSize);
    s.szRep = ReadString(path, "rep", "box", kShortBufferSize);
    s.strVirCom = ReadString(path, "VirCom", "COM2", kShortBufferSize);
    s.szRep = ReadRepAsAnsi(path, s.szRep);
    s.szName = ReadString(path, "name", "ZELVO", kNameBufferSize);
    *pLangId = static_cast<unsigned short>(ReadInt(path, "langID", 1033));
    s.szComp = ReadString(path, "comp", "", kNameBufferSize);
    s.strServerList = BuildServerList(platform::GetProgramDirectory());
}

void LoadSettings() {
    ReadSettingsFile(&g_appSettings, &g_bFirstRun, &g_wLangId);
    if (g_appSettings.nAppMode == 0) ReadUpdateServerSettings();
}

void SaveSettings() {
    const std::string path = GetSettingsPath();
    const CAppSettings& s = g_appSettings;
    platform::WriteProfileString(kSection, "name", s.szName, path);
    platform::WriteProfileString(kSection, "rep", s.szRep, path);
    platform::WriteProfileString(kSection, "bro", s.strBrowser, path);
    platform::WriteProfileString(kSection, "tp", std::to_string(s.nTp), path);
    platform::WriteProfileString(kSection, "server", std::to_string(s.nServer), path);
    platform::WriteProfileString(kSection, "VirCom", s.strVirCom, path);
    // The company text is branding as the name and the brand word are, and persists with them.
    platform::WriteProfileString(kSection, "comp", s.szComp, path);
}

std::string ReadCurrentServer() {
    return ReadString(GetSettingsPath(), "curserver", "China", kCurServerBufferSize);
}

void ClearFirstRunFlag() {
    if (g_bFirstRun != 1) return;
    g_bFirstRun = 0;
    platform::WriteProfileString(kSection, "first", "0", GetSettingsPath());
}

std::vector<std::string> ListServerProfiles(const std::string& programDir) {
    std::vector<std::string> names;
    std::vector<std::string> profiles;
    if (!platform::ListDirectory(platform::JoinPath(programDir, "Servers"), &names)) {
        return profiles;
    }
    for (const std::string& raw : names) {
        if (raw == "." || raw == "..") continue;
        const std::string name = platform::AnsiToUtf8(raw);
        // Only "*.xml" files take part; the shown name drops the last four characters.
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0) continue;
        profiles.push_back(name.substr(0, name.size() - 4));
    }
    return profiles;
}

std::string BuildServerList(const std::string& programDir) {
    std::string list;
    for (const std::string& name : ListServerProfiles(programDir)) {
        if (!list.empty()) list += kFieldSeparator;
        list += name;
    }
    return list;
}

int RememberWifi(const std::string& name, const std::string& password) {
    XmlDocument doc;
    std::string path;
    if (!LoadWifiList(&doc, &path)) return -1;
    bool bFound = false;
    while (doc.FindChild("wifi")) {
        if (doc.GetChildAttribute("Name") != name) continue;
        doc.SetChildAttribute("Psw", password);
        bFound = true;
    }
    if (!bFound) {
        doc.InsertChildElement("wifi", "");
        doc.SetChildAttribute("Name", name);
        doc.SetChildAttribute("Psw", password);
    }
    return doc.SaveFile(path) ? 0 : -1;
}

int ForgetWifi(const std::string& name) {
    XmlDocument doc;
    std::string path;
    if (!LoadWifiList(&doc, &path)) return -1;
    while (doc.FindChild("wifi")) {
        if (doc.GetChildAttribute("Name") != name) continue;
        if (!doc.EnterElement() || !doc.RemoveElement()) return -1;
        return doc.SaveFile(path) ? 0 : -1;
    }
    return -1;
}

std::string GetSoftwareVersion() {
    const std::string text = ReadHelpText();
    const size_t pos = text.find('V');
    if (pos == std::string::npos || pos == 0) return "";
    return text.substr(pos);
}

std::string GetSoftwareVersionNumber() {
    const std::string text = ReadHelpText();
    if (text.empty()) return "";
    const size_t pos = text.rfind('V');
    const std::string numbers = pos == std::string::npos ? text : text.substr(pos + 1);
    int nMajor = 0, nMinor = 0, nPatch = 0;
    std::sscanf(numbers.c_str(), "%d.%d.%d", &nMajor, &nMinor, &nPatch);
    char szVersion[48];
    std::snprintf(szVersion, sizeof szVersion, "%d.%d.%d", nMajor, nMinor, nPatch);
    return szVersion;
}
