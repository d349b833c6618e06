#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/tunnel_paths.h"
#include "tnl/pipe_link.h"
#include "tnl/pipe_name.h"

namespace tnl {

namespace {

// The socket path for a server name; false for another machine, which is out of reach here
// (the service is only ever local).
bool SocketPath(const std::string& server, std::string* path) {
    if (server != ".") return false;
    *path = platform::GetTunnelRunDir() + "/" + kServicePipeName;
    return true;
}

}  // namespace

CPipeLink::~CPipeLink() {
    if (IsOpen()) close(static_cast<int>(m_nHandle));
}

Status CPipeLink::Open(const std::string& server) {
    std::string strPath;
    if (!SocketPath(server, &strPath)) return EHOSTUNREACH;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (strPath.size() >= sizeof(address.sun_path)) return ENAMETOOLONG;
    memcpy(address.sun_path, strPath.c_str(), strPath.size() + 1);
    int nSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return errno;
    int nBufferSize = 0;
    socklen_t nLength = sizeof(nBufferSize);
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockopt(nSocket, SOL_SOCKET, SO_RCVBUF, &nBufferSize, &nLength) != 0) {
        Status status = errno;
        close(nSocket);
        return status;
    }
    m_nHandle = nSocket;
    // A read size of 0 would make every read return nothing.
    m_ulReadSize = nBufferSize > 0 ? static_cast<uint32_t>(nBufferSize) : 4096;
    return kOk;
}

Status CPipeLink::Close() {
    if (!IsOpen()) return kOk;
    // The descriptor is released even when close reports an error, so it must not be used
    // (or closed) again.
    int nResult = close(static_cast<int>(m_nHandle));
    m_nHandle = -1;
    return nResult == 0 ? kOk : static_cast<Status>(errno);
}

Status CPipeLink::Write(std::string_view bytes) {
    if (!IsOpen()) return kPipeNotConnected;
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a closed service shows as EPIPE, not as a signal that ends the caller.
        ssize_t nSent = send(static_cast<int>(m_nHandle), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (nSent < 0 && errno == EINTR) continue;
        if (nSent < 0) return errno;
        bytes.remove_prefix(static_cast<size_t>(nSent));
    }
    return kOk;
}

Status CPipeLink::Read(char* buffer, size_t nMax, size_t* pnRead) {
    *pnRead = 0;
    if (!IsOpen()) return kPipeNotConnected;
    ssize_t nReceived;
    do {
        nReceived = recv(static_cast<int>(m_nHandle), buffer, nMax, 0);
    } while (nReceived < 0 && errno == EINTR);
    if (nReceived < 0) return errno;
    *pnRead = static_cast<size_t>(nReceived);
    return kOk;
}

}  // namespace tnl
