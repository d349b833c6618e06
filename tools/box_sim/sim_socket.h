// Small POSIX socket helpers shared by the sim's servers.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CSimBoxCore;

// Poll interval of every blocking wait, so that Stop ends the threads promptly.
constexpr int kSimPollMs = 20;

// A dotted IPv4 address and port; false when the text is not one.
bool MakeSimAddress(const std::string& strAddress, uint16_t nPort, sockaddr_in* address);
// A socket of the type bound to the address (SO_REUSEADDR set); -1 when that fails.
int BindSimSocket(int nType, const std::string& strAddress, uint16_t nPort);
void SetReuseAddress(int nSocket, bool bOn);
// Waits up to nMs for input: 1 readable, 0 nothing yet, -1 error.
int WaitSimReadable(int nSocket, int nMs);
// Sends all bytes (one packet on a packet socket); gives up when the peer is gone or the sim stops.
bool SendSimBytes(const CSimBoxCore& core, int nSocket, const char* pData, size_t nSize);
