#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "tnl/service/service_socket.h"

namespace tnl_service {

namespace {

constexpr const char* kMessageEnd = "</proto>";

bool MakeAddress(const std::string& path, sockaddr_un* address) {
    memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof(address->sun_path)) return false;
    memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::string SocketPath(const std::string& runDir) {
    return runDir + "/" + kPipeName;
}

bool TakeMessage(std::string* buffer, std::string* message) {
    size_t nEnd = buffer->find(kMessageEnd);
    if (nEnd == std::string::npos) return false;
    nEnd = buffer->find_first_not_of(" \t\r\n\v\f", nEnd + strlen(kMessageEnd));
    if (nEnd == std::string::npos) nEnd = buffer->size();
    *message = buffer->substr(0, nEnd);
    buffer->erase(0, nEnd);
    return true;
}

int ListenLocalSocket(const std::string& path) {
    sockaddr_un address;
    if (!MakeAddress(path, &address)) return -1;
    int nSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return -1;
    unlink(path.c_str());
    if (bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(nSocket, 8) != 0) {
        close(nSocket);
        return -1;
    }
    return nSocket;
}

bool WriteAll(int nSocket, const char* pData, size_t nSize) {
    while (nSize > 0) {
        ssize_t nSent = send(nSocket, pData, nSize, MSG_NOSIGNAL);
        if (nSent < 0 && errno == EINTR) continue;
        if (nSent <= 0) return false;
        pData += nSent;
        nSize -= static_cast<size_t>(nSent);
    }
    return true;
}

bool ReadSome(int nSocket, std::string* buffer) {
    char szChunk[4096];
    ssize_t nRead;
    do {
        nRead = recv(nSocket, szChunk, sizeof(szChunk), 0);
    } while (nRead < 0 && errno == EINTR);
    if (nRead <= 0) return false;
    buffer->append(szChunk, static_cast<size_t>(nRead));
    return true;
}

bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply) {
    sockaddr_un address;
    if (!MakeAddress(SocketPath(runDir), &address)) return false;
    int nSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return false;
    std::string strBuffer;
    bool bOk = connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
               WriteAll(nSocket, request.data(), request.size());
    while (bOk && !TakeMessage(&strBuffer, reply)) bOk = ReadSome(nSocket, &strBuffer);
    close(nSocket);
    return bOk;
}

}  // namespace tnl_service
