#include "support/settings.h"

#include "platform/file_system.h"
#include "platform/program_dir.h"

CAppSettings g_appSettings;
int g_bFirstRun = 0;
unsigned short g_wLangId = 1033;
int g_bRestartAfterImport = 0;

std::string GetSettingsPath() {
    return platform::JoinPath(platform::GetProgramDirectory(), "SoftLang.ini");
}
