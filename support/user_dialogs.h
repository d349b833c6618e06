// What operations may ask of the user through the frontend (web host, terminal, tests): message
// boxes, file and folder dialogs, the clipboard, the status text, and modal forms (the settings
// dialogs). Requests block the asking thread until the user has answered, as a real modal
// dialog does.
#pragma once

#include <string>
#include <vector>

enum class MessageBoxStyle { kOk, kYesNo };

struct CFileDialogRequest {
    bool bOpen = true;  // open dialog, else save dialog
    std::string strFilter;      // "Cloud Project(*.zcpj)|*.zcpj||"
    std::string strDefaultExt;  // ".zcpj"
    std::string strInitialName;
    bool bFileMustExist = false;
    bool bOverwritePrompt = false;
    bool bHideReadOnly = false;
    std::string strTitle;  // empty: the frontend's own open or save title
};

// One control of a modal form. Controls are laid out in order; a group starts a framed section
// that holds the controls after it, up to the next group.
enum class EFormControl { kGroup, kText, kButton, kList, kCheck, kTable };

struct CFormControl {
    std::string strId;
    EFormControl eKind = EFormControl::kText;
    std::string strCaption;  // group, text, button, check box
    bool bEnabled = true;
    bool bChecked = false;           // check box
    std::vector<std::string> items;  // drop-down list entries
    // Table: column headings with their widths in pixels, and the rows' cells.
    std::vector<std::string> columns;
    std::vector<int> widths;
    std::vector<std::vector<std::string>> rows;
    int nSelected = -1;  // list or table: the selected index, -1 for none
};

struct CFormView {
    std::string strTitle;
    std::vector<CFormControl> controls;
};

// The reserved action of the form's own close button (and of Escape).
inline constexpr const char* kFormCloseAction = "close";

// A modal form: the frontend shows DescribeForm() and hands each user action to OnFormAction,
// one at a time, on the thread that runs the form; after each action it shows the form again.
class IFormModel {
public:
    virtual ~IFormModel() = default;
    virtual CFormView DescribeForm() const = 0;
    // A button pressed (value empty), a list or table entry chosen (value: its index in
    // decimal), a check box changed (value "1" or "0"), or kFormCloseAction. Returns false when
    // the form is to close.
    virtual bool OnFormAction(const std::string& strControl, const std::string& strValue) = 0;
};

// The index a list or table action names (decimal, nothing else); false when it is not one of
// nCount entries.
bool ReadFormIndex(const std::string& strValue, size_t nCount, size_t* pnIndex);

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // Shows a message box; returns true when the user answered OK or Yes.
    virtual bool ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxStyle style, unsigned short wLangId) = 0;
    // Asks for a file; false when the user cancelled.
    virtual bool ChooseFile(const CFileDialogRequest& request, std::string* path) = 0;
    // Asks for a folder; false when the user cancelled. The path has no trailing separator.
    virtual bool ChooseFolder(const std::string& strTitle, std::string* path) = 0;
    virtual bool SetClipboardText(const std::string& text) = 0;
    // The status bar text, shown in red. Any thread; does not wait.
    virtual void ShowStatusText(const std::string& text) = 0;
    // Shows the form and runs its actions on the calling thread until OnFormAction returns
    // false, or until the frontend goes away (the model then gets kFormCloseAction). Forms
    // nest: a handler may run another form.
    virtual void RunModalForm(IFormModel& model) = 0;
};

// Shows a message box whose text and caption ("alert_title") are looked up by key.
bool ShowLocalizedMessage(IUserDialogs& dialogs, const std::string& textKey,
                          MessageBoxStyle style);
