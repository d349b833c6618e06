// How an operation reports while it runs: lines and calls in the page, a Yes/No question, the
// clipboard. The main window implements it for the pages; the box command line collects the
// lines instead.
#pragma once

#include <cstdint>
#include <string>

// RunPageScript modes.
enum : int {
    kScriptLocalizedLine = 0,  // AddText with the localized text of a key
    kScriptRaw = 1,            // the script itself
    kScriptRawLine = 2,        // AddText with the text
};

// The line of 46 dashes that opens most operations.
inline constexpr const char* kSeparatorLine = "----------------------------------------------";

class IOperationReport {
public:
    virtual ~IOperationReport() = default;
    // Runs script in the page: mode 0 a localized line by key, 1 raw script, 2 a raw line.
    virtual void RunPageScript(const std::string& text, int nMode) = 0;
    // Asks a Yes/No question whose text is looked up by key; true on Yes.
    virtual bool AskYesNo(const std::string& textKey) = 0;
    // Puts 8-bit text on the clipboard; false when the clipboard could not be opened.
    virtual bool SetClipboardText(const std::string& text) = 0;
    // Shows text that is already in the user's language in a message box captioned with the
    // localized "alert_title": Yes/No when bYesNo is set, else OK. True on Yes or OK.
    virtual bool ShowMessage(const std::string& text, bool bYesNo) = 0;
    // How far a long transfer has come, in bytes. Callers limit how often they call it. The
    // default runs the page function that draws it.
    virtual void ShowProgress(uint64_t nDone, uint64_t nTotal) {
        RunPageScript("ShowProgress(" + std::to_string(nDone) + "," + std::to_string(nTotal) + ");",
                      kScriptRaw);
    }
};
