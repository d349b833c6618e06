// What the tunnel library's tests do differently per system: load the library file, point the
// library in this process at a run folder, and expect the system's own error codes.
#pragma once

#include <cstdint>
#include <string>

namespace tnl_test {

// A fresh copy of the library (null with a message when it cannot be loaded), its functions,
// and the release of the copy.
void* LoadLibraryFile(const char* szPath, std::string* error);
void* FindFunction(void* pLibrary, const char* szName);
void UnloadLibraryFile(void* pLibrary);

// Sets TNL_RUN_DIR, through which the library finds the service of that run folder.
void SetRunDirVariable(const std::string& runDir);

// The last errors the library passes on from the system.
struct SystemErrors {
    uint32_t ulNoService;        // a connect while no service listens
    uint32_t ulBrokenLinkWrite;  // a write on a link the service has closed
    uint32_t ulClosedMidReply;   // a read that meets a service gone mid-reply (1: parse error)
    // A connect to another machine: the server name and its error; no name where trying it
    // would reach out to the network.
    const char* szRemoteServer;
    uint32_t ulRemoteServer;
};
extern const SystemErrors kSystemErrors;

}  // namespace tnl_test
