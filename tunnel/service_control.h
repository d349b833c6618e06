// The tunnel service's control program (tnl_service in the program directory): install,
// uninstall, enable, disable, and deleting the program's connections. Each run waits until the
// program has ended; what it did is judged afterwards by connecting again or by looking for the
// COM port, never by its exit code.
#pragma once

#include <string>
#include <vector>

#include "tunnel/tunnel_context.h"

enum class EServiceCommand { kInstall, kUninstall, kEnable, kDisable, kDelete };

// The connection name that "delete" always removes, whatever the port is called.
inline constexpr const char* kVirtualPortConnection = "ZELVO_COM";

// The control program's arguments for a command: {"install"}, ..., {"delete", "ZELVO_COM"}.
std::vector<std::string> ServiceCommandArgs(EServiceCommand eCommand);

// Starts the control program in the program directory with the command, in that directory, and
// waits for it to end. False when it could not be started. A report text, when given, is shown
// after the start and before the wait.
bool RunServiceCommand(EServiceCommand eCommand, ITunnelReport* pReport = nullptr,
                       const std::string& strStartedText = "");

// Uninstall, install, enable, with the messages "installing_server", "enable_server" and
// "install_server_success".
void InstallService(ITunnelReport& report);
// Each closes the tunnel library's link first.
void EnableService();
void DisableService();
void DeleteVirtualPortConnections();
// Delete, then disable and uninstall.
void RemoveService();
// delete, disable, enable: the restart that precedes every re-creation of the port.
void RestartServiceClean();
