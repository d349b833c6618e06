// What the engine asks of a frontend (web host, terminal, tests): running script in the page,
// message boxes, file dialogs and the clipboard. Requests from worker threads block until the
// user has answered, as a real message box does.
#pragma once

#include <string>

class IPageSink {
public:
    virtual ~IPageSink() = default;
    // Runs script in the page. Execution is asynchronous: nothing comes back. scriptUrl names
    // the script's source for the page's error reports.
    virtual void ExecuteScript(const std::string& script, const std::string& scriptUrl,
                               int nStartLine) = 0;
    // True while the page is still loading; the engine waits for the page before it reports.
    virtual bool IsLoading() const = 0;
};

enum class MessageBoxStyle { kOk, kYesNo };

struct CFileDialogRequest {
    bool bOpen = true;  // open dialog, else save dialog
    std::string strFilter;      // "Cloud Project(*.zcpj)|*.zcpj||"
    std::string strDefaultExt;  // ".zcpj"
    std::string strInitialName;
    bool bFileMustExist = false;
    bool bOverwritePrompt = false;
    bool bHideReadOnly = false;
};

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // Shows a message box; returns true when the user answered OK or Yes.
    virtual bool ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxStyle style, unsigned short wLangId) = 0;
    // Asks for a file; false when the user cancelled.
    virtual bool ChooseFile(const CFileDialogRequest& request, std::string* path) = 0;
    virtual bool SetClipboardText(const std::string& text) = 0;
};

// Shows a message box whose text and caption ("alert_title") are looked up by key.
bool ShowLocalizedMessage(IUserDialogs& dialogs, const std::string& textKey,
                          MessageBoxStyle style);
