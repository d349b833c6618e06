// The download settings dialog: choose which installed panel editor the download uses.
#pragma once

#include "support/user_dialogs.h"

// Runs the dialog as a modal form; true when the user chose an editor with OK (the choice is
// then stored in hmi.xml).
bool RunDownloadSettingsDialog(IUserDialogs& dialogs);
