// A page that records every script it is asked to run, and dialogs answered from a script.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/frontend.h"

class CRecordingPage : public IPageSink {
public:
    void ExecuteScript(const std::string& script, const std::string& scriptUrl,
                       int nStartLine) override;
    bool IsLoading() const override { return m_bLoading; }

    std::vector<std::string> Scripts() const;
    // Scripts recorded since the last call.
    std::vector<std::string> TakeScripts();
    size_t Count(const std::string& script) const;
    std::string LastUrl() const;
    void SetLoading(bool bLoading) { m_bLoading = bLoading; }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_scripts;
    std::string m_strLastUrl;
    bool m_bLoading = false;
};

class CScriptedDialogs : public IUserDialogs {
public:
    struct CMessage {
        std::string strText;
        std::string strCaption;
        MessageBoxStyle style;
    };
    bool ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageBoxStyle style, unsigned short wLangId) override;
    bool ChooseFile(const CFileDialogRequest& request, std::string* path) override;
    bool ChooseFolder(const std::string& strTitle, std::string* path) override;
    bool SetClipboardText(const std::string& text) override;
    void ShowStatusText(const std::string& text) override { statusTexts.push_back(text); }
    // Takes the queued form actions in order, recording the form as it is shown before each
    // one; when they run out, the form gets the close action.
    void RunModalForm(IFormModel& model) override;

    // The next file dialog returns this path; an empty one means the user cancels.
    void AnswerNextFileDialog(const std::string& path) { m_fileAnswers.push_back(path); }
    // The next folder dialog returns this path; an empty one means the user cancels.
    void AnswerNextFolderDialog(const std::string& path) { m_folderAnswers.push_back(path); }
    // The next action on a form: a control and its value.
    void QueueFormAction(const std::string& strControl, const std::string& strValue = "") {
        m_formActions.emplace_back(strControl, strValue);
    }

    std::vector<CMessage> messages;
    std::vector<CFileDialogRequest> fileRequests;
    std::string strClipboard;
    std::vector<std::string> statusTexts;
    std::vector<std::string> folderTitles;
    std::vector<CFormView> formViews;  // every form as it was shown, in order
    bool bMessageAnswer = true;

private:
    std::deque<std::string> m_fileAnswers;
    std::deque<std::string> m_folderAnswers;
    std::deque<std::pair<std::string, std::string>> m_formActions;
};
