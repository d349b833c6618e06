// Asking the update server whether a newer version of the program exists, and offering the
// download page when it does. The server, port, path and page come from "UpdateInfo.ini"
// (g_appSettings.strReqServer, nReqPort, strReqPath, strReqUrl); a server given by name is
// resolved through the DNS resolver of the same file (strDnsServer, nDnsPort).
#pragma once

#include <cstddef>
#include <string>

#include "support/user_dialogs.h"

// Largest reply read from the update server.
inline constexpr size_t kUpdateReplyMax = 4096;

// True for a dotted IPv4 address: 7 to 15 characters, four decimal parts of 0 to 255 made of
// digits only, separated by single dots, none with a leading zero other than a lone 0.
bool IsDottedIpv4(const std::string& strText);

// Sends one request to the update server and reads one reply, trying the server's addresses
// in order until one answers. 1 with the latest version in *pLatest when the server names one;
// 0 when no address answered usefully or the first reply did not name a version; -1 when the
// request object cannot be written; -2 when the server's name cannot be resolved.
int CheckUpdateServer(std::string* pLatest, const std::string& strCurrent);

// Asks the user (Yes/No) whether to fetch the latest version and on Yes opens the download
// page in the chosen browser. 1 when the page was opened, else 0.
int ShowUpdateOffer(IUserDialogs& dialogs, const std::string& strCurrent,
                    const std::string& strLatest);

// Checks with the program's own version and offers the update when there is one. True when
// the server named a newer version.
bool CheckForUpdates(IUserDialogs& dialogs);
