// The twelve exported functions: each runs the session operation, keeps its outcome as the last
// error and turns it into the boolean result. Nothing thrown inside crosses this boundary.
#include <new>

#include "tnl/session.h"
#include "tnl/tnl.h"

namespace {

tnl::CTnlSession g_session;
tnl::Status g_ulLastError = tnl::kOk;

template <typename Operation>
BOOL Run(Operation operation) {
    try {
        g_ulLastError = operation();
    } catch (...) {
        // Only allocations throw here.
        g_ulLastError = tnl::kOutOfMemory;
    }
    return g_ulLastError == tnl::kOk ? 1 : 0;
}

}  // namespace

extern "C" {

TNL_API DWORD TNL_CALL tnl_GetLastError(void) {
    return g_ulLastError;
}

TNL_API BOOL TNL_CALL tnl_ConnectService(const VARIANT* server) {
    return Run([&] { return g_session.ConnectService(server); });
}

TNL_API BOOL TNL_CALL tnl_DisconnectService(void) {
    return Run([&] { return g_session.DisconnectService(); });
}

TNL_API BOOL TNL_CALL tnl_GetConnectionsList(VARIANT* out) {
    return Run([&] { return g_session.GetConnectionsList(out); });
}

TNL_API BOOL TNL_CALL tnl_CreateConnection(int type, int* id) {
    return Run([&] { return g_session.CreateConnection(type, id); });
}

TNL_API BOOL TNL_CALL tnl_DeleteAllConnections(void) {
    return Run([&] { return g_session.DeleteAllConnections(); });
}

TNL_API BOOL TNL_CALL tnl_DeleteConnection(int id) {
    return Run([&] { return g_session.DeleteConnection(id); });
}

TNL_API BOOL TNL_CALL tnl_AddConnectionService(int id) {
    return Run([&] { return g_session.AddConnectionService(id); });
}

TNL_API BOOL TNL_CALL tnl_SetParam(int id, const VARIANT* name, const VARIANT* value) {
    return Run([&] { return g_session.SetParam(id, name, value); });
}

TNL_API BOOL TNL_CALL tnl_GetParam(int id, const VARIANT* name, VARIANT* value) {
    return Run([&] { return g_session.GetParam(id, name, value); });
}

TNL_API BOOL TNL_CALL tnl_ApplyConnection(int id) {
    return Run([&] { return g_session.ApplyConnection(id); });
}

TNL_API BOOL TNL_CALL tnl_UpdateConnectionStatus(int id) {
    return Run([&] { return g_session.UpdateConnectionStatus(id); });
}

}  // extern "C"
