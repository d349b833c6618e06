#include <stdlib.h>

#include "platform/tunnel_paths.h"

namespace platform {

namespace {

// The variable's value, or empty when it is unset.
std::string Variable(const char* szName) {
    const char* szValue = getenv(szName);
    return szValue != nullptr ? szValue : "";
}

std::string HomeDirectory() {
    return Variable("HOME");
}

}  // namespace

std::string GetTunnelRunDir() {
    if (std::string strDir = Variable("TNL_RUN_DIR"); !strDir.empty()) return strDir;
    if (std::string strDir = Variable("XDG_RUNTIME_DIR"); !strDir.empty()) return strDir + "/tnl";
    return "/run/tnl";
}

std::string GetSerialPortsDir() {
    if (std::string strDir = Variable("ZELVO_PORTS_DIR"); !strDir.empty()) return strDir;
    std::string strPrefix = Variable("WINEPREFIX");
    if (strPrefix.empty()) strPrefix = HomeDirectory() + "/.wine";
    return strPrefix + "/dosdevices";
}

}  // namespace platform
