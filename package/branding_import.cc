#include "package/branding_import.h"

#include <cjson/cJSON.h>

#include <memory>
#include <string_view>
#include <vector>

#include "package/cert_file.h"
#include "package/package_keys.h"
#include "platform/codepage.h"
#include "platform/desktop_folders.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "platform/shortcuts.h"
#include "support/localized_strings.h"
#include "support/settings.h"
#include "support/user_dialogs.h"
#include "support/xml_document.h"

namespace {

using CJsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string ProgramFile(std::string_view name) {
    return platform::JoinPath(platform::GetProgramDirectory(), name);
}

std::string PackagePath() { return ProgramFile(kPackageFileName); }

CJsonPtr ParseJson(const std::string& text) {
    return CJsonPtr(cJSON_ParseWithLength(text.data(), text.size()), &cJSON_Delete);
}

// A string member, looked up without regard to letter case; anything else counts as missing.
bool JsonString(const cJSON* pObject, const char* szKey, std::string* pValue) {
    const cJSON* pItem = cJSON_GetObjectItem(pObject, szKey);
    if (!cJSON_IsString(pItem) || pItem->valuestring == nullptr) return false;
    *pValue = pItem->valuestring;
    return true;
}

// The running program file's name without its extension.
std::string ProgramStem() {
    const std::string name(platform::FileNameOf(platform::GetExecutablePath()));
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// "company.info": the three branding texts, and the home page's address made from
// "domain_name" (empty without one).
std::string ApplyCompanyInfo(const CertFile& package) {
    std::string text;
    if (package.FindItem("company.info", &text) != 0) return "";
    const CJsonPtr root = ParseJson(text);
    if (!cJSON_IsObject(root.get())) return "";
    std::string value;
    CAppSettings& s = g_appSettings;
    if (JsonString(root.get(), "company_name_zh", &value)) {
        s.szComp = CutToUtf16Units(value, kBrandingTextUnits);
    }
    if (JsonString(root.get(), "box_name_zh", &value)) {
        s.szRep = CutToUtf16Units(value, kBrandingTextUnits);
    }
    if (JsonString(root.get(), "tool_name", &value)) {
        s.szName = CutToUtf16Units(value, kBrandingTextUnits);
    }
    if (!JsonString(root.get(), "domain_name", &value)) return "";
    if (value.find("http://") == std::string::npos) value = "http://" + value;
    return CutToUtf16Units(value, kBrandingTextUnits);
}

// Sets Display on every box of BOXSet whose Type is strType.
void SetBoxDisplay(XmlDocument* pDoc, const std::string& strType, const std::string& strDisplay) {
    pDoc->Rewind();
    if (!pDoc->FindSibling("BOXSet")) return;
    while (pDoc->FindChild("box")) {
        if (pDoc->GetChildAttribute("Type") == strType) {
            pDoc->SetChildAttribute("Display", strDisplay);
        }
    }
}

// "device.info": display names of box types in BOXType.hmi. A file that does not load is left
// alone rather than replaced by an empty document.
void ApplyDeviceInfo(const CertFile& package) {
    std::string text;
    if (package.FindItem("device.info", &text) != 0) return;
    const CJsonPtr root = ParseJson(text);
    if (!cJSON_IsArray(root.get())) return;
    const std::string path = ProgramFile("BOXType.hmi");
    XmlDocument doc;
    if (!doc.LoadFile(path)) return;
    const cJSON* pEntry = nullptr;
    cJSON_ArrayForEach(pEntry, root.get()) {
        std::string strType;
        std::string strDisplay;
        if (JsonString(pEntry, "oriValue", &strType) &&
            JsonString(pEntry, "cusModel", &strDisplay)) {
            SetBoxDisplay(&doc, strType, strDisplay);
        }
    }
    doc.SaveFile(path);
}

// Writes an icon item to the program directory, replacing the file whole. The bytes written,
// or -1 when the item is missing or the file could not be written.
long WriteIcon(const CertFile& package, const char* szItem, const char* szFile) {
    std::string data;
    if (package.FindItem(szItem, &data) != 0) return -1;
    if (!platform::WriteFileAtomic(ProgramFile(szFile), data)) return -1;
    return static_cast<long>(data.size());
}

// "default.xml": the page profile with URL2 set to the address, as html/Default.xml.
void ApplyDefaultPage(const CertFile& package, const std::string& strAddress) {
    std::string text;
    if (package.FindItem("default.xml", &text) != 0) return;
    XmlDocument doc;
    if (!doc.SetText(text)) return;
    if (doc.FindSibling("KorixSet") && doc.FindChild("BaseSet")) {
        doc.SetChildAttribute("URL2", strAddress);
    }
    platform::CreateDirectories(ProgramFile("html"));
    doc.SaveFile(platform::JoinPath(ProgramFile("html"), "Default.xml"));
}

// The program's shortcuts in the desktop and menu folders take the tool name; with a new
// desktop icon, the ones that start this program show it.
void RenameShortcuts(bool bNewIcon) {
    const std::string strStem = ProgramStem();
    const std::string& strTool = g_appSettings.szName;
    const std::string strProgram = platform::GetExecutablePath();
    for (const std::string& folder : platform::GetShortcutFolders()) {
        const std::string strOld =
            platform::JoinPath(folder, strStem + platform::kShortcutExtension);
        if (bNewIcon) platform::UpdateShortcutIcon(strOld, ProgramFile("logo.ico"), strProgram);
        if (!platform::IsPlainFileName(strTool) || strTool == strStem) continue;
        const std::string strNew =
            platform::JoinPath(folder, strTool + platform::kShortcutExtension);
        // Another entry of that name is not replaced.
        if (platform::FileExists(strOld) && !platform::FileExists(strNew)) {
            platform::RenameFile(strOld, strNew);
        }
    }
}

// The program entry named after the tool name in the program directory, which starts the
// program and which the restart starts; empty when the name cannot stand as one file name.
std::string ToolEntry() {
    const std::string& strTool = g_appSettings.szName;
    if (!platform::IsPlainFileName(strTool)) return {};
    return platform::ToolProgramEntry(platform::GetProgramDirectory(), strTool);
}

void MakeLauncherEntry() {
    const std::string strEntry = ToolEntry();
    if (!strEntry.empty()) platform::PlaceToolProgramEntry(platform::GetExecutablePath(), strEntry);
}

void ApplyBranding(const CertFile& package) {
    const std::string strAddress = ApplyCompanyInfo(package);
    ApplyDeviceInfo(package);
    WriteIcon(package, "tool_title_logo.ico", "title.ico");
    const long nDesktopIcon = WriteIcon(package, "tool_desktop_logo.ico", "logo.ico");
    ApplyDefaultPage(package, strAddress);
    RenameShortcuts(nDesktopIcon > 0);
    MakeLauncherEntry();
    SaveSettings();
}

}  // namespace

std::string CutToUtf16Units(const std::string& text, size_t nUnits) {
    std::u16string wide = platform::Utf8ToUtf16(text);
    if (wide.size() <= nUnits) return text;
    wide.resize(nUnits);
    // A pair cut in half loses its first unit too.
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
    return platform::Utf16ToUtf8(wide);
}

bool AskForPackageFile(IUserDialogs& dialogs, std::string* pPath) {
    CFileDialogRequest request;
    request.strFilter = "Cert File(*.ce)|*.ce||";
    request.strDefaultExt = ".ce";
    request.bFileMustExist = true;
    request.strTitle = CutToUtf16Units(GetLocalizedString("set_cert_file"), 258);
    return dialogs.ChooseFile(request, pPath);
}

int InstallPackage(const std::string& strChosen) {
    // What is checked is the very copy that is then put in place.
    std::string bytes;
    if (!platform::ReadFileBytes(strChosen, &bytes)) return -1;
    const std::string strTemp = PackagePath() + ".new";
    if (!platform::WriteFileAtomic(strTemp, bytes)) return -1;
    CertFile check(ProductWebDomain(), 0);
    const int nRead = check.Read(strTemp);
    if (nRead != 0 || !platform::RenameFile(strTemp, PackagePath())) {
        platform::RemoveFile(strTemp);
        return nRead != 0 ? nRead : -1;
    }
    return 0;
}

int ImportBranding(const ChoosePackageFn& choosePackage) {
    if (g_appSettings.nOem == 0) return 0;
    CertFile package(ProductWebDomain(), 0);
    if (package.Read(PackagePath()) != 0) {
        std::string strChosen;
        if (choosePackage && choosePackage(&strChosen)) InstallPackage(strChosen);
        if (package.Read(PackagePath()) != 0) return -1;
        g_bRestartAfterImport = 1;
    }
    ApplyBranding(package);
    return 0;
}

bool ImportCertificateCommand(IUserDialogs& dialogs) {
    std::string strChosen;
    if (!AskForPackageFile(dialogs, &strChosen)) return false;
    if (InstallPackage(strChosen) != 0) {
        g_bRestartAfterImport = 0;
        ShowLocalizedMessage(dialogs, "cert_import_error", MessageBoxStyle::kOk);
        return false;
    }
    platform::RemoveFile(ProgramFile("logo.ico"));
    platform::RemoveFile(ProgramFile("title.ico"));
    g_bRestartAfterImport = 1;
    return true;
}

std::string BrandedProgramPath() {
    const std::string strEntry = ToolEntry();
    if (!strEntry.empty() && platform::FileExists(strEntry)) return strEntry;
    return platform::GetExecutablePath();
}
