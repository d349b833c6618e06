// The pass-through: the virtual port's traffic carried to a remote server that reaches the box,
// either through the program's relay on 127.0.0.1 (relay mode) or by pointing the port's tunnel
// connection straight at the server (direct mode).
#pragma once

#include <atomic>
#include <string>

#include "tunnel/tunnel_context.h"

// 0 none, 1 direct, 2 relay. The settings page and the close command read it.
extern std::atomic<int> g_nPassThroughMode;

// Starts a pass-through from the page's JSON description (empty: the built-in sample). 1 when
// handled, 0 when the text is not valid JSON or the relay could not be started.
int StartPassThrough(const std::string& strDescription, ITunnelReport& report);
// Stops it; restores the relay address in direct mode, stops the relay in relay mode. 1.
int StopPassThrough();
