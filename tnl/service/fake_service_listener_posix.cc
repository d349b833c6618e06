#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tnl/service/fake_service_listener.h"
#include "tnl/service/service_socket.h"

namespace tnl_fake {

namespace {

class CSocketClient : public IServiceClient {
  public:
    explicit CSocketClient(int nSocket) : m_nSocket(nSocket) {}
    ~CSocketClient() override { close(m_nSocket); }

    // Requests arrive as a byte stream; one ends with "</proto>".
    bool ReceiveRequest(std::string* request) override {
        while (!tnl_service::TakeMessage(&m_strBuffer, request)) {
            if (!tnl_service::ReadSome(m_nSocket, &m_strBuffer)) return false;
        }
        return true;
    }
    bool Send(std::string_view bytes) override {
        return tnl_service::WriteAll(m_nSocket, bytes.data(), bytes.size());
    }
    void Interrupt() override { shutdown(m_nSocket, SHUT_RDWR); }

  private:
    int m_nSocket;
    std::string m_strBuffer;  // bytes received after the last whole request
};

class CSocketListener : public IServiceListener {
  public:
    CSocketListener(int nSocket, std::string path)
        : m_nSocket(nSocket), m_strPath(std::move(path)) {}
    ~CSocketListener() override {
        close(m_nSocket);
        unlink(m_strPath.c_str());
    }

    std::unique_ptr<IServiceClient> Accept() override {
        int nClient;
        do {
            nClient = accept4(m_nSocket, nullptr, nullptr, SOCK_CLOEXEC);
        } while (nClient < 0 && errno == EINTR);
        return nClient < 0 ? nullptr : std::make_unique<CSocketClient>(nClient);
    }
    // A listening socket that is shut down fails its accept at once.
    void Interrupt() override { shutdown(m_nSocket, SHUT_RDWR); }

  private:
    int m_nSocket;
    std::string m_strPath;
};

}  // namespace

std::string ServiceAddress(const std::string& runDir) {
    return tnl_service::SocketPath(runDir);
}

std::unique_ptr<IServiceListener> ListenForClients(const std::string& runDir) {
    std::string strPath = ServiceAddress(runDir);
    int nSocket = tnl_service::ListenLocalSocket(strPath);
    if (nSocket < 0) return nullptr;
    return std::make_unique<CSocketListener>(nSocket, strPath);
}

bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply) {
    return tnl_service::SendServiceRequest(runDir, request, reply);
}

}  // namespace tnl_fake
