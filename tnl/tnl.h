/* The tunnel client library: creates, changes and deletes connections of the tunnel service,
 * which turns a virtual serial port into a TCP client, server or UDP link.
 *
 * One session with the service at a time (tnl_ConnectService .. tnl_DisconnectService), plus a
 * local list of connection records addressed by integer ids; ids are never reused while the
 * library is loaded. Every function except tnl_GetLastError returns 1 on success and 0 on
 * failure, and keeps its outcome in the last error (0 on success; TNL_ERROR_* codes, the
 * system's errno values, or negative status codes of the XML component).
 *
 * Values cross as automation types (oleauto.h). The caller owns every VARIANT it passes and
 * every VARIANT it receives; the library clears an output VARIANT before filling it.
 *
 * Not thread-safe: all calls of a session come from one thread and must not overlap. */
#ifndef TNL_TNL_H_
#define TNL_TNL_H_

#include "tnl/oleauto.h"

#ifdef _WIN32
#ifdef TNL_BUILDING_LIBRARY
#define TNL_API __declspec(dllexport)
#else
#define TNL_API __declspec(dllimport)
#endif
#define TNL_CALL __stdcall
#else
#define TNL_API __attribute__((visibility("default")))
#define TNL_CALL
#endif

/* Connection types of tnl_CreateConnection. */
#define TNL_TYPE_SERVER 0
#define TNL_TYPE_CLIENT 1
#define TNL_TYPE_UDP 2

/* Last-error codes (the numbers of the Windows codes of the same meaning). */
#define TNL_ERROR_SUCCESS 0
#define TNL_ERROR_NOT_FOUND 1 /* value's place missing; reply without operation type */
#define TNL_ERROR_FILE_NOT_FOUND 2
#define TNL_ERROR_ACCESS_DENIED 5
#define TNL_ERROR_INVALID_HANDLE 6
#define TNL_ERROR_INVALID_DATA 13
#define TNL_ERROR_NOT_SUPPORTED 50
#define TNL_ERROR_INVALID_PARAMETER 87
#define TNL_ERROR_ALREADY_EXISTS 183
#define TNL_ERROR_PIPE_NOT_CONNECTED 233
#define TNL_ERROR_MORE_DATA 234

#ifdef __cplusplus
extern "C" {
#endif

/* The outcome of the last call; changes nothing. */
TNL_API DWORD TNL_CALL tnl_GetLastError(void);

/* Opens the session with the service on the machine named by server (VT_BSTR, "." for this
 * machine). 13 for another type, 183 when a session is open. */
TNL_API BOOL TNL_CALL tnl_ConnectService(const VARIANT* server);

/* Closes the session; succeeds when none is open. Records and ids survive. */
TNL_API BOOL TNL_CALL tnl_DisconnectService(void);

/* Refreshes the records from the service's list and returns their ids as VT_ARRAY|VT_VARIANT
 * of VT_I4 in ascending order; VT_EMPTY when there are none. */
TNL_API BOOL TNL_CALL tnl_GetConnectionsList(VARIANT* out);

/* Adds a local record of type TNL_TYPE_* and writes its id to *id (id may be null). Nothing is
 * sent. 13 for an unknown type. */
TNL_API BOOL TNL_CALL tnl_CreateConnection(int type, int* id);

/* Deletes every connection of the service, then every local record. */
TNL_API BOOL TNL_CALL tnl_DeleteAllConnections(void);

/* Deletes one record, and the service's connection of its name once it was added. 6 for an
 * unknown id. */
TNL_API BOOL TNL_CALL tnl_DeleteConnection(int id);

/* Gives the record to the service. A CLIENT or UDP record without hosts gets localhost:5001. */
TNL_API BOOL TNL_CALL tnl_AddConnectionService(int id);

/* Changes one parameter of the record locally ("port.name", "network.host" ...; names are
 * case-insensitive). 87 for an unknown name or a value of the wrong type, 5 for "type" and the
 * read-only "status" branch, 2 for an unknown id. */
TNL_API BOOL TNL_CALL tnl_SetParam(int id, const VARIANT* name, const VARIANT* value);

/* Reads one parameter of the record into *value (cleared first): VT_I4, VT_BSTR, or for arrays
 * VT_ARRAY|VT_VARIANT of VT_ARRAY|VT_VARIANT of VT_BSTR (VT_EMPTY when there are no entries). */
TNL_API BOOL TNL_CALL tnl_GetParam(int id, const VARIANT* name, VARIANT* value);

/* Sends the record's parameters (without its status) to the service under the name the service
 * knows it by; afterwards the service knows it by its current name. */
TNL_API BOOL TNL_CALL tnl_ApplyConnection(int id);

/* Replaces the record's status by the service's current status of it. 1 when the record has no
 * status yet (it has not been listed). */
TNL_API BOOL TNL_CALL tnl_UpdateConnectionStatus(int id);

#ifdef __cplusplus
}
#endif

#endif /* TNL_TNL_H_ */
