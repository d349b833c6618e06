// What the service needs to know of one stored connection to carry it: the parameters read out of
// the connection document, with the defaults the service applies when one is missing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tnl_service {

enum class ETunnelType { kServer, kClient, kUdp };

struct CHostEntry {
    std::string strHost;
    uint16_t nPort = 0;
};

struct CConnectionConfig {
    std::string strName;
    ETunnelType eType = ETunnelType::kClient;
    std::string strLinkName;  // "com5" for a virtual port "COM5"; empty: no port to carry
    std::string strSettings;  // port.settings, reported back in the status
    // CLIENT: tried in order (localhost:5001 when the document names none); UDP: destinations.
    std::vector<CHostEntry> hosts;
    uint16_t nIncomePort = 0;  // SERVER: the listening port; UDP: the receiving port, 0 for none
    bool bReconnect = true;
    int nReconnectMs = 1000;
    bool bKeepAlive = false;
    int nKeepAliveMs = 7000;
    int nKeepAliveReplyMs = 1000;
    bool bBreak = false;  // drop the network side after nBreakMs without traffic
    int nBreakMs = 60000;
    bool bNoDelay = false;    // network.nagle.enable 0
    int nMaxConnections = 1;  // SERVER: clients carried at once
};

// Reads a serialised <connection>. False when it does not parse, has no name or no known type.
// Missing settings keep the defaults above.
bool ParseConnection(std::string_view text, CConnectionConfig* config);

// The link name of a virtual port: "COM7" in any letter case gives "com7"; anything that is not
// "COM" followed by a number from 1 to 255 gives an empty name.
std::string LinkNameForPort(std::string_view portName);

}  // namespace tnl_service
