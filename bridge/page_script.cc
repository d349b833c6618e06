// The script that a page report runs: the only way native code reports to the page.
#include "bridge/page_script.h"

#include "bridge/script_text.h"
#include "support/localized_strings.h"

std::string MakePageScript(const std::string& text, int nMode) {
    switch (nMode) {
        case kScriptLocalizedLine: return MakeAddTextScript(GetLocalizedString(text));
        case kScriptRaw: return text;
        case kScriptRawLine: return MakeAddTextScript(text);
        default: return "";
    }
}
