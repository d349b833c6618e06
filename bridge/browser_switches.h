// How the program starts the browser that shows its pages: the switches that the embedded
// browser was given (no extensions, no proxy, the flash plug-in when one lies in the program
// directory), the ComSpec variable, and app mode with a profile folder of its own where the
// browser offers them.
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

// The flash plug-in switches for the first file in the program directory whose name contains
// "pepflashplayer32": "--register-pepper-plugins=<file>", "--ppapi-flash-path=<file>" and
// "--ppapi-flash-version=a.b.c.d" when its name reads as "pepflashplayer32_%d_%d_%d_%d.dll";
// none otherwise.
std::vector<std::string> FlashPluginSwitches(const std::string& strProgramDir);

// The command that opens the program's URL in the chosen browser (name from the name tables,
// program path). Chromium-family browsers get app mode, strProfileDir as their user data folder,
// "--disable-extensions", "--no-proxy-server", no first-run or default-browser questions and the
// flash switches; Firefox opens the URL in a new window; other browsers get the URL alone.
// ComSpec is set to the program directory followed by "/dummy_cmd.exe".
platform::CSpawnRequest BuildUiBrowserLaunch(const std::string& strBrowserName,
                                             const std::string& strBrowserPath,
                                             const std::string& strUrl,
                                             const std::string& strProgramDir,
                                             const std::string& strProfileDir);
