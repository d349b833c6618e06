// On Windows the tunnel service listens on the named pipe \\.\pipe\TNL_PIPE6, which the tunnel
// library names by itself; the run folder here serves only callers that keep files of the
// service (a folder "tnl" in the temp folder). COM ports are the system's own, found in the
// registry, so there is no ports folder.
#include "platform/tunnel_paths.h"
#include "platform/win32/system_folders.h"

namespace platform {

std::string GetTunnelRunDir() {
    if (std::string strDir = EnvironmentValue(L"TNL_RUN_DIR"); !strDir.empty()) return strDir;
    return TempFolderPath() + "\\tnl";
}

std::string GetSerialPortsDir() {
    return std::string();
}

}  // namespace platform
