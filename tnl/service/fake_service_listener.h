// Where the fake tunnel service meets its clients: the Unix-domain socket TNL_PIPE6 in the run
// folder (fake_service_listener_posix.cc), or on Windows the named pipe named after the run folder
// (fake_service_listener_win32.cc). The fake's protocol logic sees only these interfaces.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tnl_fake {

// One connected client.
class IServiceClient {
  public:
    virtual ~IServiceClient() = default;
    // Waits for the client's next whole request; false when the client went away, on an error,
    // or after Interrupt.
    virtual bool ReceiveRequest(std::string* request) = 0;
    // Writes all bytes; false when the client is gone or after Interrupt.
    virtual bool Send(std::string_view bytes) = 0;
    // Makes a blocked and every later ReceiveRequest or Send fail; safe from any thread.
    virtual void Interrupt() = 0;
};

class IServiceListener {
  public:
    // Stops listening; the address is gone afterwards.
    virtual ~IServiceListener() = default;
    // Waits for the next client; null on an error or after Interrupt.
    virtual std::unique_ptr<IServiceClient> Accept() = 0;
    // Makes a blocked and every later Accept fail; safe from any thread.
    virtual void Interrupt() = 0;
};

// Where the service of a run folder listens: a socket path, or a pipe path on Windows.
std::string ServiceAddress(const std::string& runDir);

// Listens at ServiceAddress(runDir), ready for clients when it returns (a stale socket file is
// replaced). Null when it cannot.
std::unique_ptr<IServiceListener> ListenForClients(const std::string& runDir);

// Sends one request to the service of the run folder, as another client would, and reads its
// reply (up to and including "</proto>"). False when the service cannot be reached or closes
// early.
bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply);

}  // namespace tnl_fake
