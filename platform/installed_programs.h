// The programs installed on the workstation as the system's uninstall list names them, and
// starting one of them. On Windows the list is the machine registry's and the programs start
// directly. On Linux the installed programs are Windows programs in the Wine prefix
// ($WINEPREFIX, else ~/.wine): the list is read from the prefix's machine registry file and the
// programs are started through `wine`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct CInstalledProgram {
    std::string strName;  // the display name; empty when the entry has none
    // The install location as a path of this system, a trailing separator kept as "/"; empty
    // when the entry has none or it names no folder here.
    std::string strLocation;
};

// Every entry of the uninstall list: the 64-bit view first, then the 32-bit one, each in the
// system's order. False when the list cannot be read at all.
bool ListInstalledPrograms(std::vector<CInstalledProgram>* pPrograms);

// The uninstall entries of a Wine machine registry file's text (system.reg), in the order above,
// each location still the Windows path the file holds ("C:\\Program Files\\X\\").
std::vector<CInstalledProgram> ParseWineUninstallEntries(std::string_view text);

// Starts an installed program (a path as ListInstalledPrograms gives them) with the arguments,
// each passed as one argument, in the working folder (empty: ours). Does not wait, and hands
// the program none of our handles on Windows. False when the program file is missing or could
// not be started.
bool StartInstalledProgram(const std::string& strProgram, const std::vector<std::string>& args,
                           const std::string& strWorkingDir);

}  // namespace platform
