// The settings page as a modal form. Its state (feature flag, lists and their selections) lives
// in CVirComConfig; the frontend shows DescribeForm() and hands every click to OnFormAction.
#include "tunnel/settings_page.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "panel/download_settings_dialog.h"
#include "panel/panel_editor.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "support/browser_launch.h"
#include "support/localized_strings.h"
#include "support/settings.h"
#include "tnl/tnl.h"
#include "tunnel/com_ports.h"
#include "tunnel/pass_through.h"
#include "tunnel/service_control.h"
#include "tunnel/tnl_value.h"
#include "tunnel/virtual_port.h"

namespace {

constexpr int kCreateAttempts = 4;
constexpr int kSwitchOffAttempts = 6;
constexpr unsigned kDeleteWaitMs = 200;
constexpr unsigned kBrowserWaitMs = 100;
constexpr size_t kCurServerBufferSize = 64;
constexpr int kPassThroughDirect = 1;

// A drop-down list: its entries and the selected index (-1 for none).
struct CChoiceList {
    std::vector<std::string> items;
    int nSelected = -1;

    std::string Selected() const {
        return nSelected >= 0 && nSelected < static_cast<int>(items.size()) ? items[nSelected]
                                                                            : std::string();
    }
    void Select(const std::string& strIndex) {
        size_t nIndex = 0;
        if (ReadFormIndex(strIndex, items.size(), &nIndex)) nSelected = static_cast<int>(nIndex);
    }
    // Adds an entry; the current one gets the marker and is selected.
    void Add(const std::string& strName, bool bCurrent, const std::string& strMarker) {
        if (bCurrent) nSelected = static_cast<int>(items.size());
        items.push_back(bCurrent ? strName + strMarker : strName);
    }
};

bool ContainsNumber(const std::vector<int>& numbers, int nNumber) {
    return std::find(numbers.begin(), numbers.end(), nNumber) != numbers.end();
}

// The free COM numbers, with the service's connections seen through a link of its own.
std::vector<int> FreeComNumbersNow() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    const bool bConnected = ConnectTunnelService();
    std::vector<int> numbers = FreeComPortNumbers();
    if (bConnected) tnl_DisconnectService();
    return numbers;
}

bool IsServiceReachable() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    if (!ConnectTunnelService()) return false;
    tnl_DisconnectService();
    return true;
}

std::string ProgramFile(const std::string& strRelative) {
    return platform::JoinPath(platform::GetProgramDirectory(), strRelative);
}

enum class EPortResult { kUnreachable, kFailed, kCreated };

// Moves the virtual port to another name: restart the service clean and create the connection,
// up to four times, until the port is there.
EPortResult MoveVirtualPort(const std::string& strName) {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    if (!ConnectTunnelService()) return EPortResult::kUnreachable;
    g_appSettings.strVirCom = strName;
    const bool bPresent = RecreateVirtualPort(kCreateAttempts, false);
    return bPresent ? EPortResult::kCreated : EPortResult::kFailed;
}

// Switches the service on and creates the port as the set-up thread does.
EPortResult StartVirtualPort() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    EnableService();
    if (!ConnectTunnelService()) return EPortResult::kUnreachable;
    const bool bPresent = CreateVirtualPortWithRetries(kCreateAttempts);
    tnl_DisconnectService();
    return bPresent ? EPortResult::kCreated : EPortResult::kFailed;
}

// Deletes the port's connections until the port is gone (at most six times), then switches
// the service off.
void StopVirtualPort() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    for (int nAttempt = 0; nAttempt < kSwitchOffAttempts; ++nAttempt) {
        DeleteVirtualPortConnections();
        TunnelWait(kDeleteWaitMs);
        if (!IsPortPresent(g_appSettings.strVirCom)) break;
    }
    DisableService();
}

class CVirComConfig final : public IFormModel {
public:
    CVirComConfig(IUserDialogs& dialogs, ICertificateImport& certificates)
        : m_dialogs(dialogs), m_certificates(certificates) {}

    void Open();
    CFormView DescribeForm() const override;
    bool OnFormAction(const std::string& strControl, const std::string& strValue) override;

private:
    using Handler = void (CVirComConfig::*)();

    std::string Text(const std::string& strKey) const;
    void SetFeature(bool bOn);
    bool ConfirmPassThroughInterruption();
    void FillComList();
    void FillBrowserList();
    void FillServerList();

    void OnToggle();
    void SwitchOn();
    void SwitchOff();
    void OnComSet();
    void OnBrowserSet();
    void OnBrowserBrowse();
    void OnServerSet();
    void OnHmiConfig();

    IUserDialogs& m_dialogs;
    ICertificateImport& m_certificates;
    std::map<std::string, std::string> m_strings;
    std::string m_strMarker;
    int m_nFeature = 0;
    std::string m_strStatusKey;
    std::string m_strToggleKey;
    bool m_bComEnabled = true;
    bool m_bEditorInstalled = false;
    CChoiceList m_comList;
    CChoiceList m_browserList;
    CChoiceList m_serverList;
};

std::string CVirComConfig::Text(const std::string& strKey) const {
    const auto it = m_strings.find(strKey);
    return it != m_strings.end() ? it->second : std::string();
}

void CVirComConfig::SetFeature(bool bOn) {
    m_nFeature = bOn ? 1 : 0;
    m_strStatusKey = bOn ? "detect_server_yes" : "detect_server_no";
    m_strToggleKey = bOn ? "btn_uninstall_server" : "btn_install_server";
}

void CVirComConfig::Open() {
    m_strings = LoadStringTable();
    m_strMarker = Text("com_is_using");
    m_bEditorInstalled = IsEditorInstalled("") != 0;
    SetFeature(IsServiceReachable());
    m_bComEnabled = m_nFeature != 0 && IsPortPresent(g_appSettings.strVirCom) != 0;
    FillComList();
    FillServerList();
    FillBrowserList();
}

// Offers every free name COM2..COM255 and the current one, which is marked while its port is
// up: names of system ports and of the service's other connections are left out.
void CVirComConfig::FillComList() {
    const std::vector<int> freeNumbers = FreeComNumbersNow();
    const std::string& strCurrent = g_appSettings.strVirCom;
    const bool bMarkCurrent = m_nFeature != 0 && IsPortPresent(strCurrent) != 0;
    m_comList = CChoiceList();
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const std::string strName = ComPortName(n);
        if (strName == strCurrent) {
            m_comList.Add(strName, true, bMarkCurrent ? m_strMarker : "");
        } else if (ContainsNumber(freeNumbers, n)) {
            m_comList.Add(strName, false, "");
        }
    }
}

void CVirComConfig::FillBrowserList() {
    m_browserList = CChoiceList();
    for (const CBrowserEntry& entry : g_browserList)
        m_browserList.Add(entry.strName, entry.strName == g_appSettings.strBrowser, m_strMarker);
}

void CVirComConfig::FillServerList() {
    const std::string strCurrent = platform::GetProfileString(
        "HMI", "curserver", "China", kCurServerBufferSize, GetSettingsPath());
    m_serverList = CChoiceList();
    for (const std::string& strName : ListServerProfiles(platform::GetProgramDirectory())) {
        m_serverList.Add(strName, strName == strCurrent, m_strMarker);
    }
}

CFormView CVirComConfig::DescribeForm() const {
    auto control = [this](const char* szId, EFormControl eKind, const std::string& strKey) {
        CFormControl item;
        item.strId = szId;
        item.eKind = eKind;
        if (!strKey.empty()) item.strCaption = Text(strKey);
        return item;
    };
    auto list = [&](const char* szId, const CChoiceList& choices) {
        CFormControl item = control(szId, EFormControl::kList, "");
        item.items = choices.items;
        item.nSelected = choices.nSelected;
        return item;
    };
    CFormView view;
    view.strTitle = Text("settings_title");
    std::vector<CFormControl>& c = view.controls;
    c.push_back(control("grpVirtual", EFormControl::kGroup, "virtual_config"));
    c.push_back(control("txtVirtualStatus", EFormControl::kText, m_strStatusKey));
    c.push_back(control("btnVirtualToggle", EFormControl::kButton, m_strToggleKey));
    c.push_back(control("txtUsingCom", EFormControl::kText, "using_com"));
    c.push_back(list("lstCom", m_comList));
    c.push_back(control("btnComSet", EFormControl::kButton, "btn_set"));
    c[c.size() - 2].bEnabled = c.back().bEnabled = m_bComEnabled;
    c.push_back(control("chkRemoveService", EFormControl::kCheck, "unin_server"));
    c.back().bChecked = g_appSettings.nServer != 0;
    c.push_back(control("grpBrowser", EFormControl::kGroup, "browser"));
    c.push_back(control("txtRecommend", EFormControl::kText, "recommend"));
    c.push_back(list("lstBrowser", m_browserList));
    c.push_back(control("btnBrowserSet", EFormControl::kButton, "btn_set"));
    c.push_back(control("btnBrowserBrowse", EFormControl::kButton, "browse"));
    c.push_back(control("grpServer", EFormControl::kGroup, "curserver"));
    c.push_back(list("lstServer", m_serverList));
    c.push_back(control("btnServerSet", EFormControl::kButton, "btn_set"));
    c.push_back(control("grpHmiDown", EFormControl::kGroup,
                        m_bEditorInstalled ? "hmi_down_enabled" : "hmi_down_disabled"));
    c.push_back(control("btnHmiConfig", EFormControl::kButton, "button_config"));
    c.push_back(control("grpCert", EFormControl::kGroup, "cert_file"));
    c.push_back(control("btnCertImport", EFormControl::kButton, "cert_import"));
    return view;
}

bool CVirComConfig::OnFormAction(const std::string& strControl, const std::string& strValue) {
    static const std::map<std::string, Handler> kButtons = {
        {"btnVirtualToggle", &CVirComConfig::OnToggle},
        {"btnComSet", &CVirComConfig::OnComSet},
        {"btnBrowserSet", &CVirComConfig::OnBrowserSet},
        {"btnBrowserBrowse", &CVirComConfig::OnBrowserBrowse},
        {"btnServerSet", &CVirComConfig::OnServerSet},
        {"btnHmiConfig", &CVirComConfig::OnHmiConfig},
    };
    if (strControl == kFormCloseAction) return false;
    // A newly installed package closes the page: the program restarts under the new edition.
    if (strControl == "btnCertImport") return !m_certificates.ImportCertificate(m_dialogs);
    if (const auto it = kButtons.find(strControl); it != kButtons.end()) {
        (this->*(it->second))();
    } else if (strControl == "lstCom") {
        m_comList.Select(strValue);
    } else if (strControl == "lstBrowser") {
        m_browserList.Select(strValue);
    } else if (strControl == "lstServer") {
        m_serverList.Select(strValue);
    } else if (strControl == "chkRemoveService") {
        // When set, closing the main window removes the tunnel service.
        g_appSettings.nServer = strValue == "1" ? 1 : 0;
        SaveSettings();
    }
    return true;
}

// A direct pass-through runs over the virtual port: changing the port interrupts it.
bool CVirComConfig::ConfirmPassThroughInterruption() {
    return g_nPassThroughMode.load() != kPassThroughDirect ||
           ShowLocalizedMessage(m_dialogs, "reinstall_msg", MessageBoxStyle::kYesNo);
}

void CVirComConfig::OnToggle() {
    if (m_nFeature != 0) {
        SwitchOff();
    } else {
        SwitchOn();
    }
    FillComList();
}

void CVirComConfig::SwitchOn() {
    m_strToggleKey = "btn_start_up_server";
    const EPortResult eResult = StartVirtualPort();
    if (eResult == EPortResult::kUnreachable) {
        SetFeature(false);
        ShowLocalizedMessage(m_dialogs, "is_install_server", MessageBoxStyle::kOk);
        return;
    }
    if (eResult == EPortResult::kFailed) {
        ShowLocalizedMessage(m_dialogs, "install_server_error", MessageBoxStyle::kOk);
        DisableService();
        SetFeature(false);
        return;
    }
    SetFeature(true);
    m_bComEnabled = true;
}

void CVirComConfig::SwitchOff() {
    if (!ConfirmPassThroughInterruption()) return;
    StopVirtualPort();
    SetFeature(false);
}

void CVirComConfig::OnComSet() {
    if (!ConfirmPassThroughInterruption()) return;
    const std::string strChosen = m_comList.Selected();
    if (strChosen.empty() || strChosen == g_appSettings.strVirCom + m_strMarker) return;
    const EPortResult eResult = MoveVirtualPort(strChosen);
    if (eResult == EPortResult::kUnreachable) {
        ShowLocalizedMessage(m_dialogs, "is_install_server", MessageBoxStyle::kOk);
        return;
    }
    if (eResult == EPortResult::kFailed)
        ShowLocalizedMessage(m_dialogs, "set_com_error", MessageBoxStyle::kOk);
    FillComList();
}

bool IsMarked(const std::string& strEntry, const std::string& strMarker) {
    return !strMarker.empty() && strEntry.find(strMarker) != std::string::npos;
}

void CVirComConfig::OnBrowserSet() {
    const std::string strChosen = m_browserList.Selected();
    if (strChosen.empty() || IsMarked(strChosen, m_strMarker)) return;
    g_appSettings.strBrowser = strChosen;
    SelectBrowserByName(strChosen);
    SaveSettings();
    TunnelWait(kBrowserWaitMs);
    FillBrowserList();
}

void CVirComConfig::OnBrowserBrowse() {
    CFileDialogRequest request;
    request.bOpen = true;
    request.strFilter = "Programs(*.exe)|*.exe|All files(*)|*||";
    request.bFileMustExist = true;
    std::string strPath;
    if (!m_dialogs.ChooseFile(request, &strPath)) return;
    std::string strName = BrowserNameFromPath(strPath);
    if (strName.empty()) strName = std::string(platform::FileNameOf(strPath));
    AddBrowser(strName, strPath);
    FillBrowserList();
}

// The chosen server profile becomes the page profile.
void CVirComConfig::OnServerSet() {
    const std::string strChosen = m_serverList.Selected();
    if (strChosen.empty() || IsMarked(strChosen, m_strMarker)) return;
    std::string strProfile;
    if (platform::ReadFileBytes(ProgramFile("Servers/" + strChosen + ".xml"), &strProfile))
        platform::WriteFileAtomic(ProgramFile("html/Default.xml"), strProfile);
    platform::WriteProfileString("HMI", "curserver", strChosen, GetSettingsPath());
    FillServerList();
}

void CVirComConfig::OnHmiConfig() {
    RunDownloadSettingsDialog(m_dialogs);
    m_bEditorInstalled = IsEditorInstalled("") != 0;
}

}  // namespace

void RunVirtualPortSettingsPage(IUserDialogs& dialogs, ICertificateImport& certificates) {
    CVirComConfig page(dialogs, certificates);
    page.Open();
    dialogs.RunModalForm(page);
}
