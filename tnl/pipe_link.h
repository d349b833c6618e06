// The library's one link to the tunnel service. On Windows this is the named pipe
// "\\server\pipe\TNL_PIPE6" (pipe_link_win32.cc); elsewhere it is the Unix-domain stream socket
// TNL_PIPE6 in the service's run folder, platform::GetTunnelRunDir (pipe_link_posix.cc). Only
// pipe_link_*.cc touch the OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tnl/tnl_status.h"

namespace tnl {

class CPipeLink {
  public:
    CPipeLink() = default;
    CPipeLink(const CPipeLink&) = delete;
    CPipeLink& operator=(const CPipeLink&) = delete;
    ~CPipeLink();

    // Opens the link to the service on the named machine ("." is this machine) and takes the
    // link's input buffer size as the read size. Errors are the system's.
    Status Open(const std::string& server);
    // Closes the link; it counts as closed afterwards even when the system reports an error.
    Status Close();
    bool IsOpen() const { return m_nHandle >= 0; }
    uint32_t ReadSize() const { return m_ulReadSize; }

    // Writes all bytes in one call.
    Status Write(std::string_view bytes);
    // Reads at most nMax bytes; *pnRead is 0 when the service closed its end.
    Status Read(char* buffer, size_t nMax, size_t* pnRead);

  private:
    intptr_t m_nHandle = -1;  // the socket, or the pipe's HANDLE; -1 while closed
    uint32_t m_ulReadSize = 0;
};

}  // namespace tnl
