#include "panel/panel_editor.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/host_lookup.h"
#include "platform/installed_programs.h"
#include "platform/program_dir.h"
#include "support/leading_number.h"
#include "support/xml_document.h"

std::string g_strHmiFolder;
std::string g_strHmiVersion;

namespace {

// What hmi.xml starts from when it is missing or does not parse.
constexpr const char* kHmiTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<HMISet filever = \"1.0\">\n<Hmi />\n</HMISet>";
// Files of an editor installation, relative to its folder (which ends with a separator).
constexpr const char* kSimulator = "simulation/ieg/QuillonSim.exe";
constexpr const char* kDownloadTool = "QuillonDl.exe";
constexpr const char* kReleaseLog = "ReleaseLog.log";
// The editor's programs, either of which marks a folder the user picked.
constexpr const char* kEditorPrograms[] = {"/Quillon.exe", "/QuillonEd.exe"};
// The address text of the download target is held in 32 characters with its terminator.
constexpr size_t kAddressChars = 32;

std::string HmiFilePath() {
    return platform::JoinPath(platform::GetProgramDirectory(), "hmi.xml");
}

// Moves to the element HMISet with its child Hmi as the current child.
bool FindHmiElement(XmlDocument* pDoc) {
    pDoc->Rewind();
    return pDoc->FindSibling("HMISet") && pDoc->FindChild("Hmi");
}

// The folder as given, or the chosen one from hmi.xml when it is empty.
std::string FolderOrChosen(const std::string& strFolder) {
    if (!strFolder.empty()) return strFolder;
    LoadHmiSettings();
    return g_strHmiFolder;
}

// The string member "url" of the JSON text (cJSON matches the name in any letter case).
bool ReadDownloadUrl(const std::string& strJson, std::string* pUrl) {
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_Parse(strJson.c_str()),
                                                               &cJSON_Delete);
    const cJSON* pItem = cJSON_GetObjectItem(root.get(), "url");
    if (!cJSON_IsString(pItem) || pItem->valuestring == nullptr) return false;
    *pUrl = pItem->valuestring;
    return true;
}

}  // namespace

void LoadHmiSettings() {
    XmlDocument doc;
    if (!doc.LoadFile(HmiFilePath()) || !FindHmiElement(&doc)) return;
    g_strHmiFolder = doc.GetChildAttribute("Folder");
    g_strHmiVersion = doc.GetChildAttribute("Version");
}

void SaveHmiSettings() {
    const std::string strPath = HmiFilePath();
    XmlDocument doc;
    if (!doc.LoadFile(strPath) || !FindHmiElement(&doc)) {
        doc.SetFlags(0);
        doc.SetText(kHmiTemplate);
        FindHmiElement(&doc);
    }
    doc.SetChildAttribute("Folder", g_strHmiFolder);
    doc.SetChildAttribute("Version", g_strHmiVersion);
    doc.SaveFile(strPath);
}

int IsEditorInstalled(const std::string& strFolder) {
    // No folder chosen means no editor, rather than files relative to the current folder.
    const std::string strChosen = FolderOrChosen(strFolder);
    return !strChosen.empty() && platform::FileExists(strChosen + kSimulator) &&
                   platform::FileExists(strChosen + kDownloadTool)
               ? 1
               : 0;
}

int IsEditorFolder(const std::string& strFolder) {
    return std::any_of(
               std::begin(kEditorPrograms), std::end(kEditorPrograms),
               [&](const char* szProgram) { return platform::FileExists(strFolder + szProgram); })
               ? 1
               : 0;
}

int GetEditorVersion(std::string* pVersion, const std::string& strFolder) {
    const std::string strChosen = FolderOrChosen(strFolder);
    if (!IsEditorInstalled(strChosen)) return 0;
    // A log that does not parse is still read as far as its elements go.
    XmlDocument log;
    log.LoadFile(strChosen + kReleaseLog);
    *pVersion = FindHmiElement(&log) ? log.GetChildAttribute("Help_Ch") : "";
    return 1;
}

void ScanInstalledEditors(std::vector<std::string>* pFolders) {
    pFolders->clear();
    std::vector<platform::CInstalledProgram> programs;
    platform::ListInstalledPrograms(&programs);
    for (const platform::CInstalledProgram& program : programs) {
        const std::string& strFolder = program.strLocation;
        if (program.strName.empty() || strFolder.empty() || !IsEditorInstalled(strFolder)) continue;
        if (std::find(pFolders->begin(), pFolders->end(), strFolder) == pFolders->end()) {
            pFolders->push_back(strFolder);
        }
    }
}

bool MakeDownloadArgument(const std::string& strJson, const HostResolver& resolve,
                          std::string* pArgument) {
    std::string strUrl;
    const size_t nColon = ReadDownloadUrl(strJson, &strUrl) ? strUrl.find(':') : std::string::npos;
    if (nColon == std::string::npos) return false;
    std::string strAddress;
    if (!resolve(strUrl.substr(0, nColon), &strAddress) || strAddress.size() >= kAddressChars) {
        return false;
    }
    std::replace(strAddress.begin(), strAddress.end(), '.', ' ');
    const std::string strRest = strUrl.substr(nColon + 1);
    *pArgument = "LoadMode2 " + strAddress + " 0 " + std::to_string(ReadLeadingNumber(strRest));
    const size_t nExtra = strRest.find(':');
    if (nExtra != std::string::npos) *pArgument += " " + strRest.substr(nExtra + 1);
    return true;
}

int LaunchDownloadTool(const std::string& strArgument) {
    std::string strToolArgument;
    if (!MakeDownloadArgument(platform::Utf8ToAnsi(strArgument), platform::ResolveHostAddress,
                              &strToolArgument)) {
        return 0;
    }
    const std::string strFolder = g_strHmiFolder;
    std::string strWorkingDir = strFolder;
    if (strWorkingDir.ends_with('/')) strWorkingDir.pop_back();
    return platform::StartInstalledProgram(strFolder + kDownloadTool, {strToolArgument},
                                           strWorkingDir)
               ? 1
               : 0;
}
