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
    // The status bar text, shown in red. Any thread; does not wait.
    virtual void ShowStatusText(const std::string& text) = 0;
};

// What the about box shows.
struct CAboutInfo {
    std::string strName;     // the "name" setting
    std::string strVersion;  // the release log's version text
    std::string strBuild;    // "Build:" and the build date
    std::string strCompany;  // the "comp" setting
    bool bReduced = false;   // oem not 0 or mode 1: no company text and no update button
};

// The frontend's side of the main window: the view that shows a page, the about box and the
// window itself. Called on the UI thread.
class IMainView {
public:
    virtual ~IMainView() = default;
    // Loads the URL in the view, or reloads the shown page ignoring the cache when bReload.
    virtual void ShowUrl(const std::string& url, bool bReload) = 0;
    virtual void ShowAboutBox(const CAboutInfo& info) = 0;
    // The window goes away; the main loop ends.
    virtual void CloseWindow() = 0;
};

// Shows a message box whose text and caption ("alert_title") are looked up by key.
bool ShowLocalizedMessage(IUserDialogs& dialogs, const std::string& textKey,
                          MessageBoxStyle style);
