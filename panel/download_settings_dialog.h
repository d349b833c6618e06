// The download settings dialog: choose which installed panel editor the download uses.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/user_dialogs.h"

// The dialog as a modal form. Controls: the table "tblEditors" (row number, version, folder) of
// the installed editors that have a version, the button "btnBrowse" that adds a folder, the
// texts "txtVersion" and "txtFolder" with the selection, and the buttons "btnOk" (enabled once
// an editor with a version is selected) and "btnCancel".
class CHmiDownConfig final : public IFormModel {
  public:
    // Fills the table from the installed editors.
    explicit CHmiDownConfig(IUserDialogs& dialogs);
    CFormView DescribeForm() const override;
    bool OnFormAction(const std::string& strControl, const std::string& strValue) override;
    // True when the dialog was closed with OK (the choice is then stored).
    bool IsAccepted() const { return m_bAccepted; }

  private:
    std::string Text(const std::string& strKey) const;
    void AddRow(const std::string& strVersion, const std::string& strFolder);
    void SelectRow(const std::string& strIndex);
    void Browse();
    bool Accept();

    IUserDialogs& m_dialogs;
    std::map<std::string, std::string> m_strings;
    std::vector<std::vector<std::string>> m_rows;  // number, version, folder
    int m_nSelected = -1;
    std::string m_strVersion;  // the selection; a version marks it usable
    std::string m_strFolder;
    bool m_bAccepted = false;
};

// Runs the dialog as a modal form; true when the user chose an editor with OK (the choice is
// then stored in hmi.xml).
bool RunDownloadSettingsDialog(IUserDialogs& dialogs);
