#include "tests/fakes/temp_program_dir.h"

#include "support/settings.h"
#include "bridge/command_state.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "platform/shortcuts.h"

CTempProgramDir::CTempProgramDir() : m_strPath(platform::MakeTempDirectory("zelvo-test")) {
    platform::SetProgramDirectory(m_strPath);
    g_appSettings = CAppSettings();
    g_bFirstRun = 0;
    g_wLangId = 1033;
    ResetCommandStateForLoad();
}

CTempProgramDir::~CTempProgramDir() {
    platform::SetProgramDirectory("");
    platform::RemoveDirectoryTree(m_strPath);
}

std::string CTempProgramDir::PathOf(std::string_view relativePath) const {
    return platform::JoinPath(m_strPath, relativePath);
}

void CTempProgramDir::WriteFile(std::string_view relativePath, std::string_view content) const {
    const std::string path = PathOf(relativePath);
    platform::CreateDirectories(platform::ParentDirectory(path));
    platform::WriteFileAtomic(path, content);
}

std::string CTempProgramDir::ReadFile(std::string_view relativePath) const {
    std::string content;
    platform::ReadFileBytes(PathOf(relativePath), &content);
    return content;
}

bool CTempProgramDir::Exists(std::string_view relativePath) const {
    return platform::FileExists(PathOf(relativePath));
}

void CTempProgramDir::WriteStrings(std::string_view lines) const {
    WriteFile("html/i18n/strings_en.properties", lines);
}

void CTempProgramDir::KeepProgramFromTool([[maybe_unused]] std::string_view toolName) const {
#ifdef _WIN32
    WriteFile(platform::FileNameOf(platform::ToolProgramEntry(m_strPath, std::string(toolName))),
              "");
#endif
}
