// The session with the tunnel service and the local connection records behind the exported
// functions. One instance per loaded library; not thread-safe (one caller thread, no overlap).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tnl/messages.h"
#include "tnl/oleauto.h"
#include "tnl/param_model.h"
#include "tnl/pipe_link.h"
#include "tnl/tnl_status.h"

namespace tnl {

struct ConnectionRecord {
    int32_t nId = 0;             // unique while the library is loaded
    std::string strDocument;     // the connection document, root "connection"
    std::string strServiceName;  // the name the service knows it by (target of UPDATE)
    bool bAdded = false;         // the service knows the connection
};

// Each method returns the last-error value of the exported function of the same name.
class CTnlSession {
  public:
    Status ConnectService(const VARIANT* server);
    Status DisconnectService();
    Status GetConnectionsList(VARIANT* out);
    Status CreateConnection(int nType, int* pnId);
    Status DeleteAllConnections();
    Status DeleteConnection(int nId);
    Status AddConnectionService(int nId);
    Status SetParam(int nId, const VARIANT* name, const VARIANT* value);
    Status GetParam(int nId, const VARIANT* name, VARIANT* value);
    Status ApplyConnection(int nId);
    Status UpdateConnectionStatus(int nId);

  private:
    // The record with the id (binary search; records are kept in ascending id order), or null.
    ConnectionRecord* FindRecord(int nId);
    // The record for a call that talks to the service: kPipeNotConnected without a session,
    // kInvalidHandle for an unknown id.
    Status FindOpenRecord(int nId, ConnectionRecord** record);
    Status ReadParam(const ConnectionRecord& record, std::string_view name, VARIANT* value) const;
    Status ReadTextParam(const ConnectionRecord& record, std::string_view name,
                         std::string* text) const;
    Status WriteParam(ConnectionRecord* record, std::string_view name, const VARIANT& value);
    // A CLIENT or UDP record without hosts gets one, localhost:5001.
    void FillDefaultHost(ConnectionRecord* record);
    // The records after a GETLIST: matched by name, new ones for unknown names, the rest gone.
    std::vector<ConnectionRecord> MergeList(const std::vector<ListedConnection>& listed);
    ConnectionRecord NewRecord(std::string document, std::string serviceName, bool bAdded);

    CPipeLink m_link;
    CParamSchema m_schema;
    std::vector<ConnectionRecord> m_records;
    int32_t m_nNextId = 0;
};

}  // namespace tnl
