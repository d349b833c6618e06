// tnl_service: the tunnel service's control program, and the service itself.
//
//   tnl_service install        marks the service installed
//   tnl_service uninstall      disables the service, removes the mark and the stored connections
//   tnl_service enable         starts the service in the background (needs install) and waits
//                              until its socket answers; nothing if it answers already
//   tnl_service disable        stops the background service: its ports and links go, its
//                              connections stay stored for the next enable
//   tnl_service delete NAME    deletes every connection named NAME from the running service
//   tnl_service run [FAULT]    serves in the foreground until SIGINT or SIGTERM; with a FAULT
//                              (error, split, stall, close) the test double answers instead
//
// In the background a supervisor process runs the service in a worker process; when the worker
// dies by a signal, the supervisor removes the links it left and starts a new one, which brings
// the stored connections back.
//
// Everything lives in the run folder (platform::GetTunnelRunDir(), made mode 0700): the socket
// TNL_PIPE6, the mark "installed", the process ids "service.pid" (the supervisor) and
// "worker.pid" (the worker), the connections "connections.xml" and the record of the links made
// in the ports folder, "links". Exit status 0 on success, 1 on failure, 2 for a wrong command
// line.
#pragma once

namespace tnl_service {

inline constexpr const char* kInstalledMark = "installed";
inline constexpr const char* kSupervisorPidFile = "service.pid";
inline constexpr const char* kWorkerPidFile = "worker.pid";

int ControlMain(int argc, char** argv);

}  // namespace tnl_service
