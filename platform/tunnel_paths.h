// Where the tunnel service and the COM port links live. The tunnel library, the service and the
// program all ask here, so that they always agree.
#pragma once

#include <string>

namespace platform {

// The tunnel service's run folder, which holds its socket TNL_PIPE6: $TNL_RUN_DIR, else
// $XDG_RUNTIME_DIR/tnl, else /run/tnl. A normal user has $XDG_RUNTIME_DIR, so no root is needed.
// On Windows the service listens on the named pipe \\.\pipe\TNL_PIPE6 instead, which the tunnel
// library names itself; the folder ($TNL_RUN_DIR, else "tnl" in the temp folder) only serves
// callers that want a place for the service's files.
std::string GetTunnelRunDir();

// The folder of COM port links ("com2" -> /dev/pts/5): $ZELVO_PORTS_DIR, else the dosdevices
// folder of the Wine prefix ($WINEPREFIX, else ~/.wine). A Windows program under Wine sees each
// link there as a COM port. Empty on Windows, where the COM ports are the system's own.
std::string GetSerialPortsDir();

}  // namespace platform
