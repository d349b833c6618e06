// CMainFrame::RunPageScript: the only way native code reports to the page.
#include "app/main_frame.h"
#include "bridge/script_text.h"
#include "support/localized_strings.h"

void CMainFrame::RunPageScript(const std::string& text, int nMode) {
    IPageSink* pPage = m_pPage.load();
    if (pPage == nullptr) return;  // no page yet: dropped silently
    std::string script;
    switch (nMode) {
        case kScriptLocalizedLine: script = MakeAddTextScript(GetLocalizedString(text)); break;
        case kScriptRaw: script = text; break;
        case kScriptRawLine: script = MakeAddTextScript(text); break;
        default: return;
    }
    pPage->ExecuteScript(script, m_strFirstPage, 0);
}
