// What the system knows about its web browsers: the programs registered as browsers, where
// Chrome and Edge may be installed, the command of the handler for http addresses, and
// opening an address with a browser. Which browser is chosen is decided above this layer.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The browser programs the system registers, in the order found; a program may be listed more
// than once and need not exist. On Windows: the open commands of the StartMenuInternet clients
// of the machine and then of the user (a quoted command loses its first and last character).
// Here: the programs of the XDG desktop entries of category WebBrowser, then known browser
// programs on PATH.
std::vector<std::string> RegisteredBrowserPrograms();

// Where Chrome may be installed, the likeliest first; the paths need not exist. On Windows: the
// launch command its updater recorded, then chrome.exe below the short forms of the user's
// roaming and local application data folders and of the program files folder. Here: Chrome's
// and Chromium's programs on PATH.
std::vector<std::string> ChromeCandidatePaths();
// Where Edge is installed; empty when unknown.
std::string EdgeCandidatePath();

// The command of the system's handler for http addresses, as the system holds it; empty when
// there is none. On Windows it comes in lower case, the way the handler's name is looked up
// (file names there ignore letter case). Here it is the Exec command of the handler's desktop
// entry.
std::string HttpHandlerCommand();

// Opens the address with a browser program, or with the program of a handler command kept for
// it, passing the address as its one argument. False when nothing could be started.
bool OpenAddressWithBrowser(const std::string& strProgram, const std::string& strAddress);
// Opens the address in Edge: on Windows through its "microsoft-edge:" protocol, here with the
// microsoft-edge program on PATH.
bool OpenAddressInEdge(const std::string& strAddress);

}  // namespace platform
