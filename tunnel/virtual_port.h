// The program's virtual serial port: a connection named "ZELVO_COM" of the tunnel service whose
// port is a COM port on the workstation and whose network side is the relay (or, in direct
// pass-through, the remote server). Set up by a thread at start-up, re-created by the
// pass-through and the settings page, removed at exit.
#pragma once

#include <atomic>
#include <string>
#include <vector>
#include <vector>

#include "tunnel/tnl_value.h"
#include "tunnel/tunnel_context.h"

// 1 at program start, 0 while the set-up thread runs; the settings page stays closed while 0.
extern std::atomic<int> g_nVirtualPortReady;

// One parameter of the connection as it is handed to the tunnel library.
struct CPortParameter {
    std::string strName;
    CTnlValue value;
};

// Every parameter of the connection in the order it is set: name, port.name, port.type,
// network.host and protocol.type from the settings, then the default table in ordinal name
// order with the settings' serial parameters as port.settings.
std::vector<CPortParameter> VirtualPortParameters();

// Creates the connection with the settings' port name, relay host and port and serial settings
// and the full default parameter table. The library's link must be open. Non-zero on success.
int CreateVirtualPortConnection();

// The id of the first listed connection named exactly strName; false when there is none.
bool FindConnectionByName(const std::string& strName, int* pnId);

// The numbers n of COM2..COM255 whose name "COMn" neither a system port nor a listed
// connection of the service uses (the link must be open to see the connections).
std::vector<int> FreeComPortNumbers();

// Fills the "VirCom" setting with the first free name COM2..COM255 when it is empty.
void ChooseVirtualPortName();

// Up to nAttempts times: wait, create the connection, wait, look for the port; after a failed
// attempt restart the service clean and connect again. The attempt (from 1) after which the
// port was present, or 0. The link is open on entry and stays open.
int CreateVirtualPortWithRetries(int nAttempts);

// Up to nAttempts times (each waiting first when bWaitFirst): restart the service clean, wait,
// connect and create the connection; stops as soon as the port is present. The link is closed
// at the end. Used when the port moves to another name or another network side.
bool RecreateVirtualPort(int nAttempts, bool bWaitFirst);

// The set-up thread's work (runs on the calling thread): connect or install the service, the
// "tp" rule, four attempts, messages "create_error" and "statu_ready"; the ready flag ends at 1.
// The attempt after which the port was present, 0 when it never was, -1 when the service could
// not be reached.
int RunVirtualPortSetup(ITunnelReport& report);

// At exit: up to four times, delete the connections, wait and look for the port; stops as soon
// as the port is gone.
void RemoveVirtualPortAtExit();
