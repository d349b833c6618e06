// What the engine asks of a frontend (web host, terminal, tests): running script in the page,
// message boxes, file dialogs and the clipboard. Requests from worker threads block until the
// user has answered, as a real message box does.
#pragma once

#include <string>

#include "support/user_dialogs.h"

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
