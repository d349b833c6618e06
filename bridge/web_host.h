// The web host: the program's pages served on 127.0.0.1 to a real browser, in place of the
// embedded browser. It is a frontend like the terminal one: page sink, dialogs and main view
// of the main window. The shell page (html/shell.html) plays the main window; the page it
// shows sits in its content frame.
//
// Requests must carry the start's random token (in the URL once, then in a cookie), a Host of
// 127.0.0.1 with our port and no Origin of another site. Files are served from html/ and
// Skins/ of the program directory only, plus the icons title.ico and logo.ico.
#pragma once

#include <memory>
#include <string>

#include "bridge/bridge_host.h"
#include "bridge/frontend.h"
#include "bridge/shell_window.h"
#include "bridge/ui_loop.h"

struct CWebHostOptions {
    std::string strProgramDir;
    int nPort = 0;  // 0: any free port
};

class CWebHostImpl;

class CWebHost final : public IPageSink, public IUserDialogs, public IMainView {
public:
    // Page commands and shell commands are posted to loop and run there.
    explicit CWebHost(CUiLoop& loop);
    ~CWebHost() override;
    CWebHost(const CWebHost&) = delete;
    CWebHost& operator=(const CWebHost&) = delete;

    // Listens on 127.0.0.1. False (with a reason on standard error) when it cannot.
    bool Start(const CWebHostOptions& options);
    // Stops serving; questions still open are answered No / Cancel.
    void Stop();
    // "http://127.0.0.1:<port>/?token=<token>"; empty before Start.
    std::string GetUrl() const;
    int GetPort() const;

    // The main window, once it exists. Until then page commands are dropped. Neither is owned.
    void AttachWindow(IBridgeHost* pBridge, IShellWindow* pShell);

    // IPageSink
    void ExecuteScript(const std::string& script, const std::string& scriptUrl,
                       int nStartLine) override;
    bool IsLoading() const override;
    // IUserDialogs
    bool ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageBoxStyle style, unsigned short wLangId) override;
    bool ChooseFile(const CFileDialogRequest& request, std::string* path) override;
    bool ChooseFolder(const std::string& strTitle, std::string* path) override;
    void RunModalForm(IFormModel& model) override;
    bool SetClipboardText(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    // IMainView
    void ShowUrl(const std::string& url, bool bReload) override;
    void ShowAboutBox(const CAboutInfo& info) override;
    void CloseWindow() override;

private:
    std::unique_ptr<CWebHostImpl> m_impl;
};
