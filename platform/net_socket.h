// IPv4 sockets: the TCP link to the box, the discovery probe and broadcast, and the local
// address list that discovery walks. Addresses are dotted IPv4 texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Connects by TCP: a non-blocking connect that may take at most nTimeoutMs, then back to
// blocking mode. kInvalidSocket when the address is not dotted IPv4, the peer refuses, or the
// connection is not made in time.
SocketHandle ConnectTcp(const std::string& strAddress, uint16_t nPort, unsigned nTimeoutMs);
// Receive and send time-outs of a blocking socket.
bool SetSocketTimeouts(SocketHandle s, unsigned nReceiveMs, unsigned nSendMs);
// One send of the whole buffer: bytes sent, or -1 on error.
long SocketSend(SocketHandle s, const void* pData, size_t nLength);
// One receive of at most nLength bytes: bytes read, 0 when the peer closed, -1 on an error
// or a time-out.
long SocketReceive(SocketHandle s, void* pBuffer, size_t nLength);
// Waits until the socket is readable: 1 readable, 0 time-out, -1 error.
int WaitReadable(SocketHandle s, unsigned nTimeoutMs);
void CloseSocket(SocketHandle s);
// The error number of the last failed socket call on this thread.
int LastSocketError();

// A UDP socket bound to any local address on nPort with send and receive buffers of
// nBufferBytes, address reuse and broadcast allowed. kInvalidSocket when a step fails.
SocketHandle OpenBroadcastSocket(uint16_t nPort, int nBufferBytes);
bool SendDatagram(SocketHandle s, const std::string& strAddress, uint16_t nPort,
                  const void* pData, size_t nLength);
// One datagram: its length (or -1 on error) and the sender's dotted address.
long ReceiveDatagram(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender);

// This machine's IPv4 addresses, in the system's order. ZELVO_LOCAL_ADDRESSES (addresses
// separated by ',' or ';'), or SetLocalAddressesForTesting, replace the list: tests and demos
// use them so that discovery only ever walks loopback networks.
std::vector<std::string> GetLocalIpv4Addresses();
void SetLocalAddressesForTesting(std::vector<std::string> addresses);

}  // namespace platform
