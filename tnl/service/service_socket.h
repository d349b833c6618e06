// The tunnel service's local socket TNL_PIPE6 in the run folder: where it lies, how a request or
// reply is cut out of the byte stream, and one request/reply exchange as a client.
#pragma once

#include <cstddef>
#include <string>

namespace tnl_service {

inline constexpr const char* kPipeName = "TNL_PIPE6";

std::string SocketPath(const std::string& runDir);

// Moves one whole message (through "</proto>", and any white space that came with it) from the
// front of buffer to message. False while the buffer holds no whole message.
bool TakeMessage(std::string* buffer, std::string* message);

// A listening stream socket at path (close-on-exec), replacing a stale socket file; -1 when it
// cannot be made.
int ListenLocalSocket(const std::string& path);
// Writes everything (no SIGPIPE); false when the peer is gone.
bool WriteAll(int nSocket, const char* pData, size_t nSize);
// One blocking receive appended to buffer; false at the end of the stream or on an error.
bool ReadSome(int nSocket, std::string* buffer);

// Sends one request to the service of the run folder and reads its reply (up to and including
// "</proto>"). False when the service cannot be reached or closes early.
bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply);

}  // namespace tnl_service
