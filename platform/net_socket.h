// IPv4 sockets: the TCP link to the box, the discovery probe and broadcast, the local address
// list that discovery walks, and the listening and waiting the pass-through relay needs.
// Addresses are dotted IPv4 texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A descriptor here, a SOCKET on Windows: both fit intptr_t, and both systems' invalid value is -1.
using SocketHandle = intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// Connects by TCP: a non-blocking connect that may take at most nTimeoutMs, then back to
// blocking mode. kInvalidSocket when the address is not dotted IPv4, the peer refuses, or the
// connection is not made in time.
SocketHandle ConnectTcp(const std::string& strAddress, uint16_t nPort, unsigned nTimeoutMs);
// Receive and send time-outs of a blocking socket.
bool SetSocketTimeouts(SocketHandle s, unsigned nReceiveMs, unsigned nSendMs);
// One send of the whole buffer: bytes sent, or -1 on error.
long SocketSend(SocketHandle s, const void* pData, size_t nLength);
// Sends until the whole buffer is gone: false when a send fails or sends nothing.
bool SocketSendAll(SocketHandle s, const void* pData, size_t nLength);
// One receive of at most nLength bytes: bytes read, 0 when the peer closed, -1 on an error
// or a time-out.
long SocketReceive(SocketHandle s, void* pBuffer, size_t nLength);
// Waits until the socket is readable: 1 readable, 0 time-out, -1 error.
int WaitReadable(SocketHandle s, unsigned nTimeoutMs);
void CloseSocket(SocketHandle s);
// The error number of the last failed socket call on this thread.
int LastSocketError();

// A TCP socket bound to the dotted IPv4 address and port with address reuse allowed, listening
// with the given backlog. kInvalidSocket when a step fails (the socket is closed again).
SocketHandle ListenTcp(const std::string& strAddress, uint16_t nPort, int nBacklog);
// Takes the next connection from a listening socket, waiting for one. kInvalidSocket on an
// error, which is also what a thread waiting here gets when the socket is shut down.
SocketHandle AcceptConnection(SocketHandle s);
// The local port a socket is bound to, 0 when it is not bound or the call fails.
uint16_t SocketLocalPort(SocketHandle s);
// Shuts both directions of the socket down; the handle stays valid until it is closed.
void ShutdownSocket(SocketHandle s);
// Sends what the socket takes now, without waiting: bytes sent, 0 when its buffer is full,
// -1 on an error.
long SocketSendNow(SocketHandle s, const void* pData, size_t nLength);

// What a socket is waited for, and what it turned out ready for. A closed or failed
// connection counts as readable, so that the following receive reports it.
inline constexpr unsigned kSocketReadable = 1;
inline constexpr unsigned kSocketWritable = 2;
struct CSocketWait {
    SocketHandle s = kInvalidSocket;
    unsigned nWant = 0;
    unsigned nReady = 0;
};
// Waits until either socket is ready for something it wants: 1 (the nReady fields tell for
// what), 0 after nTimeoutMs, -1 on an error. A wait cut short by a signal is 1 with nothing
// ready.
int WaitSocketPair(CSocketWait* pFirst, CSocketWait* pSecond, unsigned nTimeoutMs);

// A UDP socket bound to any local address on nPort with send and receive buffers of
// nBufferBytes, address reuse and broadcast allowed. kInvalidSocket when a step fails.
SocketHandle OpenBroadcastSocket(uint16_t nPort, int nBufferBytes);
bool SendDatagram(SocketHandle s, const std::string& strAddress, uint16_t nPort,
                  const void* pData, size_t nLength);
// One datagram: its length (or -1 on error) and the sender's dotted address.
long ReceiveDatagram(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender);

// A non-blocking IPv4 UDP socket with address reuse, not bound: one query and its answer.
// kInvalidSocket when a step fails (the socket is closed again).
SocketHandle OpenQuerySocket();
// A UDP socket bound to the dotted IPv4 address and port (0: any free port). kInvalidSocket
// when a step fails.
SocketHandle BindUdpSocket(const std::string& strAddress, uint16_t nPort);
// Waits until the socket can take a send: 1 writable, 0 time-out, -1 error.
int WaitWritable(SocketHandle s, unsigned nTimeoutMs);
// One datagram with its sender's dotted address and port: its length, or -1 on error.
long ReceiveDatagramFrom(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender,
                         uint16_t* pnSenderPort);

// This machine's IPv4 addresses, in the system's order. ZELVO_LOCAL_ADDRESSES (addresses
// separated by ',' or ';'), or SetLocalAddressesForTesting, replace the list: tests and demos
// use them so that discovery only ever walks loopback networks.
std::vector<std::string> GetLocalIpv4Addresses();
void SetLocalAddressesForTesting(std::vector<std::string> addresses);

// Address reuse on a socket, switched on or off after it was made. A bound socket without it
// keeps other sockets that ask for reuse off its address (a test server reserves its address so);
// a connection with it does not keep the address from a later bind while it lingers after the
// close. False when the call fails.
bool SetSocketAddressReuse(SocketHandle s, bool bOn);
// A listening socket stops taking connections (they are refused) and keeps its address until
// ListenAgain. Windows cannot do that: there the socket goes on listening, and the caller closes
// what it accepts meanwhile.
void StopListening(SocketHandle s);
// Listening again after StopListening; false when it fails.
bool ListenAgain(SocketHandle s, int nBacklog);

}  // namespace platform
