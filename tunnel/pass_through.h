// The pass-through: the virtual port's traffic carried to a remote server that reaches the box,
// either through the program's relay on 127.0.0.1 (relay mode) or by pointing the port's tunnel
// connection straight at the server (direct mode).
#pragma once

#include <atomic>
#include <string>

#include "tunnel/relay.h"
#include "tunnel/tunnel_context.h"

// 0 none, 1 direct, 2 relay. The settings page and the close command read it.
extern std::atomic<int> g_nPassThroughMode;

// What a description asks for. Fields the description leaves out are marked as not given,
// so that the earlier start's values stay.
struct CPassThroughRequest {
    int nType = 0;  // 1: relay mode; anything else: direct mode
    bool bHasUrl = false;
    std::string strHost;
    std::string strPort;
    bool bHasSubdomain = false;
    std::string strSubdomain;
    bool bHasListenPort = false;
    int nListenPort = 0;
    std::string strSerialParams;  // direct mode: "baud,parity,data bits,stop bits"
};

// Reads a description (empty: the built-in sample). Keys are matched without regard to case;
// numbers may be JSON numbers or texts starting with decimal digits. False when the text is
// not a JSON object.
bool ParsePassThroughDescription(const std::string& strDescription,
                                 CPassThroughRequest* pRequest);

// The relay parameters as the starts so far have left them.
CRelayParams PassThroughRelayParams();

// Starts a pass-through from the page's JSON description (empty: the built-in sample). 1 when
// handled, 0 when the text is not valid JSON or the relay could not be started.
int StartPassThrough(const std::string& strDescription, ITunnelReport& report);
// Stops it; restores the relay address in direct mode, stops the relay in relay mode. 1.
int StopPassThrough();
