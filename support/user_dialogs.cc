#include "support/user_dialogs.h"

#include "support/settings.h"
#include "support/localized_strings.h"

bool ShowLocalizedMessage(IUserDialogs& dialogs, const std::string& textKey,
                          MessageBoxStyle style) {
    return dialogs.ShowMessageBox(GetLocalizedString(textKey), GetLocalizedString("alert_title"),
                                  style, g_wLangId);
}
