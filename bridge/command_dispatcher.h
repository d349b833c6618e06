// The page commands as the main window receives them.
#pragma once

#include <string>

#include "bridge/bridge_host.h"

// Runs a page command: v1 is the command number as decimal text, v2 its argument. Returns 0,
// 1 when the user cancelled a file dialog, 2 when saving the configuration failed.
int DispatchPageCommand(IBridgeHost& host, const std::string& v1, const std::string& v2);
