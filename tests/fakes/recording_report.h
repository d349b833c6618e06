// An operation report that records every line and call, answers questions from a flag and
// keeps what was put on the clipboard.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/operation_report.h"

class CRecordingReport : public IOperationReport {
public:
    // (mode, text): the key for localized lines, the text for raw lines and scripts.
    std::vector<std::pair<int, std::string>> entries;
    std::vector<std::string> questions;  // keys of AskYesNo, texts of ShowMessage
    std::vector<std::pair<uint64_t, uint64_t>> progress;
    std::string strClipboard;
    bool bAnswerYes = false;
    bool bClipboardWorks = true;

    void RunPageScript(const std::string& text, int nMode) override {
        entries.emplace_back(nMode, text);
    }
    bool AskYesNo(const std::string& textKey) override {
        questions.push_back(textKey);
        return bAnswerYes;
    }
    bool ShowMessage(const std::string& text, bool bYesNo) override {
        questions.push_back(text);
        return !bYesNo || bAnswerYes;
    }
    void ShowProgress(uint64_t nDone, uint64_t nTotal) override {
        progress.emplace_back(nDone, nTotal);
    }
    bool SetClipboardText(const std::string& text) override {
        if (bClipboardWorks) strClipboard = text;
        return bClipboardWorks;
    }
    // The entries as "L:key" (localized), "S:script" (raw script) and "R:text" (raw line).
    std::vector<std::string> Lines() const {
        static const char* const kTags[] = {"L:", "S:", "R:"};
        std::vector<std::string> lines;
        for (const auto& [nMode, text] : entries) lines.push_back(kTags[nMode] + text);
        return lines;
    }
};
