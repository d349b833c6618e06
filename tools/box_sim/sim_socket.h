// The send every server of the sim shares, over the platform's sockets.
#pragma once

#include <cstddef>

#include "platform/net_socket.h"

class CSimBoxCore;

// Poll interval of every blocking wait, so that Stop ends the threads promptly.
constexpr unsigned kSimPollMs = 20;

// Sends all bytes (one packet on a packet socket); gives up when the peer is gone or the sim
// stops.
bool SendSimBytes(const CSimBoxCore& core, platform::SocketHandle s, const char* pData,
                  size_t nSize);
