#include "support/user_dialogs.h"

#include <charconv>

#include "support/settings.h"
#include "support/localized_strings.h"

bool ReadFormIndex(const std::string& strValue, size_t nCount, size_t* pnIndex) {
    size_t nIndex = 0;
    const char* pEnd = strValue.data() + strValue.size();
    const auto [pStop, error] = std::from_chars(strValue.data(), pEnd, nIndex);
    if (error != std::errc() || pStop != pEnd || nIndex >= nCount) return false;
    *pnIndex = nIndex;
    return true;
}

bool ShowLocalizedMessage(IUserDialogs& dialogs, const std::string& textKey,
                          MessageBoxStyle style) {
    return dialogs.ShowMessageBox(GetLocalizedString(textKey), GetLocalizedString("alert_title"),
                                  style, g_wLangId);
}
