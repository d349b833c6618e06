// The name of the tunnel service's pipe on Windows, shared by the library and the test service.
#pragma once

#include <algorithm>
#include <string>

namespace tnl {

inline constexpr const char* kServicePipeName = "TNL_PIPE6";

// "TNL_PIPE6" for the installed service (no run folder given). A service started for a run
// folder of its own ($TNL_RUN_DIR, as on other systems) serves a pipe named after that folder,
// so that services run side by side by tests never meet; a pipe name holds no backslash.
inline std::string ServicePipeName(const std::string& runDir) {
    if (runDir.empty()) return kServicePipeName;
    std::string strName = std::string(kServicePipeName) + "." + runDir;
    std::replace(strName.begin(), strName.end(), '\\', '/');
    return strName;
}

}  // namespace tnl
