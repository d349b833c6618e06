#include "tests/fakes/recording_frontend.h"

#include <algorithm>

void CRecordingPage::ExecuteScript(const std::string& script, const std::string& scriptUrl,
                                   int) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scripts.push_back(script);
    m_strLastUrl = scriptUrl;
}

std::vector<std::string> CRecordingPage::Scripts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_scripts;
}

std::vector<std::string> CRecordingPage::TakeScripts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> scripts;
    scripts.swap(m_scripts);
    return scripts;
}

size_t CRecordingPage::Count(const std::string& script) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(std::count(m_scripts.begin(), m_scripts.end(), script));
}

std::string CRecordingPage::LastUrl() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastUrl;
}

bool CScriptedDialogs::ShowMessageBox(const std::string& text, const std::string& caption,
                                      MessageBoxStyle style, unsigned short) {
    messages.push_back({text, caption, style});
    return bMessageAnswer;
}

bool CScriptedDialogs::ChooseFile(const CFileDialogRequest& request, std::string* path) {
    fileRequests.push_back(request);
    if (m_fileAnswers.empty()) return false;
    *path = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return !path->empty();
}

bool CScriptedDialogs::ChooseFolder(const std::string& strTitle, std::string* path) {
    folderTitles.push_back(strTitle);
    if (m_folderAnswers.empty()) return false;
    *path = m_folderAnswers.front();
    m_folderAnswers.pop_front();
    return !path->empty();
}

void CScriptedDialogs::RunModalForm(IFormModel& model) {
    for (;;) {
        formViews.push_back(model.DescribeForm());
        if (m_formActions.empty()) {
            model.OnFormAction(kFormCloseAction, "");
            return;
        }
        auto [strControl, strValue] = m_formActions.front();
        m_formActions.pop_front();
        if (!model.OnFormAction(strControl, strValue)) return;
    }
}

bool CScriptedDialogs::SetClipboardText(const std::string& text) {
    strClipboard = text;
    return true;
}
