// The terminal frontend: page commands and caption buttons typed (or piped) as lines, page
// script, the view and the dialogs shown as text. Useful for scripting and for trying the engine
// without a browser.
#pragma once

#include <atomic>
#include <condition_variable>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "bridge/frontend.h"

class CMainFrame;

class CTerminalFrontend : public IPageSink, public IUserDialogs, public IMainView {
public:
    // bAssumeYes answers every question with Yes.
    CTerminalFrontend(std::istream& in, std::ostream& out, bool bAssumeYes);

    void ExecuteScript(const std::string& script, const std::string& scriptUrl,
                       int nStartLine) override;
    bool IsLoading() const override { return false; }
    bool ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageBoxStyle style, unsigned short wLangId) override;
    bool ChooseFile(const CFileDialogRequest& request, std::string* path) override;
    bool ChooseFolder(const std::string& strTitle, std::string* path) override;
    void RunModalForm(IFormModel& model) override;
    bool SetClipboardText(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    void ShowUrl(const std::string& url, bool bReload) override;
    void ShowAboutBox(const CAboutInfo& info) override;
    void CloseWindow() override { m_bClosed = true; }

    // Reads command lines until "quit", the window's close or the end of input. Returns the
    // exit code.
    int Run(CMainFrame& frame);

private:
    void Print(const std::string& line);
    bool Ask(const std::string& prompt, std::string* answer);
    // Hands an input line to the question another thread is waiting on; false when none is.
    bool AnswerOpenQuestion(const std::string& line);
    void EndInput();
    void HandleLine(CMainFrame& frame, const std::string& line);

    std::istream& m_in;
    std::ostream& m_out;
    bool m_bAssumeYes;
    std::atomic<bool> m_bClosed{false};
    std::mutex m_mutex;  // one writer of the terminal at a time
    // Only the thread in Run reads the input; a question from another thread takes the next line
    // that Run reads.
    std::thread::id m_reader;
    std::mutex m_questionMutex;
    std::condition_variable m_answered;
    bool m_bQuestionOpen = false;
    bool m_bInputEnded = false;
    std::optional<std::string> m_answer;
};

// The form as the terminal prints it: the title, then one line per control with its id, kind,
// caption, check state, list entries with their indexes (the selected one marked "*"), and a
// table's rows below it.
std::string DescribeFormText(const CFormView& view);

// The text inside AddText("...") with its script escapes undone; false for other scripts.
bool ExtractAddTextLine(const std::string& script, std::string* line);
