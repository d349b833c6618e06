#include "panel/download_settings_dialog.h"

#include <algorithm>

#include "panel/panel_editor.h"
#include "support/localized_strings.h"

namespace {

constexpr size_t kVersionColumn = 1;
constexpr size_t kFolderColumn = 2;

CFormControl MakeControl(const char* szId, EFormControl eKind, const std::string& strCaption) {
    CFormControl control;
    control.strId = szId;
    control.eKind = eKind;
    control.strCaption = strCaption;
    return control;
}

// The localized message key for a picked folder that cannot be used, or nullptr; *pVersion
// receives the version of a usable one.
const char* CheckPickedFolder(const std::string& strFolder, std::string* pVersion) {
    if (!IsEditorFolder(strFolder)) return "hmi_no_editor";
    if (!IsEditorInstalled(strFolder)) return "hmi_incompat_ver";
    if (!GetEditorVersion(pVersion, strFolder) || pVersion->empty()) return "hmi_no_ver";
    return nullptr;
}

}  // namespace

CHmiDownConfig::CHmiDownConfig(IUserDialogs& dialogs)
    : m_dialogs(dialogs), m_strings(LoadStringTable()) {
    std::vector<std::string> folders;
    ScanInstalledEditors(&folders);
    for (const std::string& strFolder : folders) {
        std::string strVersion;
        GetEditorVersion(&strVersion, strFolder);
        if (!strVersion.empty()) AddRow(strVersion, strFolder);
    }
}

std::string CHmiDownConfig::Text(const std::string& strKey) const {
    const auto it = m_strings.find(strKey);
    return it != m_strings.end() ? it->second : "";
}

CFormView CHmiDownConfig::DescribeForm() const {
    CFormView view;
    view.strTitle = Text("hmi_down_set");
    CFormControl table = MakeControl("tblEditors", EFormControl::kTable, "");
    table.columns = {"", Text("version"), Text("position")};
    table.widths = {40, 360, 240};
    table.rows = m_rows;
    table.nSelected = m_nSelected;
    view.controls.push_back(std::move(table));
    view.controls.push_back(MakeControl("btnBrowse", EFormControl::kButton, Text("browse")));
    view.controls.push_back(MakeControl("txtVersion", EFormControl::kText, m_strVersion));
    view.controls.push_back(MakeControl("txtFolder", EFormControl::kText, m_strFolder));
    view.controls.push_back(MakeControl("btnOk", EFormControl::kButton, Text("btn_ok")));
    view.controls.back().bEnabled = !m_strVersion.empty();
    view.controls.push_back(MakeControl("btnCancel", EFormControl::kButton, Text("cancel")));
    return view;
}

bool CHmiDownConfig::OnFormAction(const std::string& strControl, const std::string& strValue) {
    if (strControl == "tblEditors") SelectRow(strValue);
    if (strControl == "btnBrowse") Browse();
    if (strControl == "btnOk") return !Accept();
    return strControl != "btnCancel" && strControl != kFormCloseAction;
}

void CHmiDownConfig::AddRow(const std::string& strVersion, const std::string& strFolder) {
    m_rows.push_back({std::to_string(m_rows.size() + 1), strVersion, strFolder});
}

// A row chosen in the table becomes the selection when it has a version.
void CHmiDownConfig::SelectRow(const std::string& strIndex) {
    size_t nRow = 0;
    if (!ReadFormIndex(strIndex, m_rows.size(), &nRow)) return;
    m_nSelected = static_cast<int>(nRow);
    if (m_rows[nRow][kVersionColumn].empty()) return;
    m_strVersion = m_rows[nRow][kVersionColumn];
    m_strFolder = m_rows[nRow][kFolderColumn];
}

// A folder picked by the user: when it holds a usable editor it is selected, in its existing
// row or in a new one; otherwise the reason is shown and nothing changes.
void CHmiDownConfig::Browse() {
    std::string strFolder;
    if (!m_dialogs.ChooseFolder(Text("hmi_down_set"), &strFolder) || strFolder.empty()) return;
    strFolder += '/';
    std::string strVersion;
    if (const char* szError = CheckPickedFolder(strFolder, &strVersion)) {
        ShowLocalizedMessage(m_dialogs, szError, MessageBoxStyle::kOk);
        return;
    }
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [&](const auto& row) { return row[kFolderColumn] == strFolder; });
    m_nSelected = static_cast<int>(it - m_rows.begin());
    if (it == m_rows.end()) AddRow(strVersion, strFolder);
    m_strVersion = strVersion;
    m_strFolder = strFolder;
}

// OK stores the selection; without a usable one (OK is disabled then) it does nothing.
bool CHmiDownConfig::Accept() {
    if (m_strVersion.empty()) return false;
    g_strHmiFolder = m_strFolder;
    g_strHmiVersion = m_strVersion;
    SaveHmiSettings();
    m_bAccepted = true;
    return true;
}

bool RunDownloadSettingsDialog(IUserDialogs& dialogs) {
    CHmiDownConfig dialog(dialogs);
    dialogs.RunModalForm(dialog);
    return dialog.IsAccepted();
}
