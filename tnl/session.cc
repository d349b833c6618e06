#include "tnl/session.h"

#include <algorithm>

#include "tnl/transport.h"
#include "tnl/variant_util.h"

namespace tnl {

namespace {

// Names of the read-only parts of a record; compared without regard to case, since any other
// spelling reaches the same place in the document.
bool IsProtectedName(const std::string& strNamePath) {
    return strNamePath == "type" || strNamePath.compare(0, 6, "status") == 0;
}

// A parameter name ends at its first zero unit, as a C string does; otherwise "type" followed by
// a zero and more would pass the read-only check and still reach the "type" element.
std::string ParamName(const VARIANT& name) {
    std::string strName = BstrToUtf8(name.bstrVal);
    strName.resize(std::min(strName.size(), strName.find('\0')));
    return strName;
}

}  // namespace

ConnectionRecord* CTnlSession::FindRecord(int nId) {
    auto it =
        std::lower_bound(m_records.begin(), m_records.end(), nId,
                         [](const ConnectionRecord& record, int n) { return record.nId < n; });
    return it != m_records.end() && it->nId == nId ? &*it : nullptr;
}

ConnectionRecord CTnlSession::NewRecord(std::string document, std::string serviceName,
                                        bool bAdded) {
    return {m_nNextId++, std::move(document), std::move(serviceName), bAdded};
}

Status CTnlSession::FindOpenRecord(int nId, ConnectionRecord** record) {
    if (!m_link.IsOpen()) return kPipeNotConnected;
    *record = FindRecord(nId);
    return *record != nullptr ? kOk : kInvalidHandle;
}

Status CTnlSession::ReadParam(const ConnectionRecord& record, std::string_view name,
                              VARIANT* value) const {
    ParamInfo info;
    Status status = m_schema.Lookup(name, &info);
    return status == kOk ? tnl::ReadParam(info, record.strDocument, value) : status;
}

Status CTnlSession::ReadTextParam(const ConnectionRecord& record, std::string_view name,
                                  std::string* text) const {
    VARIANT value;
    VariantInit(&value);
    Status status = ReadParam(record, name, &value);
    if (status == kOk && !VariantToText(value, text)) status = kInvalidData;
    VariantClear(&value);
    return status;
}

Status CTnlSession::WriteParam(ConnectionRecord* record, std::string_view name,
                               const VARIANT& value) {
    ParamInfo info;
    Status status = m_schema.Lookup(name, &info);
    std::string strDocument;
    if (status == kOk) status = tnl::WriteParam(info, record->strDocument, value, &strDocument);
    if (status != kOk) return status;
    record->strDocument = std::move(strDocument);
    // Until the service knows the record, its service name follows its name, as stored (the
    // stored text ends at a zero in the caller's text).
    if (info.strPath == "name" && !record->bAdded)
        ReadTextParam(*record, "name", &record->strServiceName);
    return kOk;
}

Status CTnlSession::ConnectService(const VARIANT* server) {
    if (server == nullptr || server->vt != VT_BSTR) return kInvalidData;
    if (m_link.IsOpen()) return kAlreadyExists;
    Status status = m_link.Open(BstrToUtf8(server->bstrVal));
    if (status != kOk) return status;
    status = m_schema.Load();
    if (status != kOk) m_link.Close();
    return status;
}

Status CTnlSession::DisconnectService() {
    if (!m_link.IsOpen()) return kOk;
    m_schema.Release();
    return m_link.Close();
}

std::vector<ConnectionRecord> CTnlSession::MergeList(const std::vector<ListedConnection>& listed) {
    std::vector<ConnectionRecord> previous = m_records;
    std::vector<bool> matched(previous.size(), false);
    std::vector<ConnectionRecord> merged;
    for (const ListedConnection& connection : listed) {
        size_t i = 0;
        for (std::string strName; i < previous.size(); ++i) {
            if (!matched[i] && ReadTextParam(previous[i], "name", &strName) == kOk &&
                strName == connection.strName) {
                break;
            }
        }
        if (i == previous.size()) {
            merged.push_back(NewRecord(connection.strDocument, connection.strName, true));
            continue;
        }
        // The record now mirrors the service's connection of that name.
        matched[i] = true;
        merged.push_back({previous[i].nId, connection.strDocument, connection.strName, true});
    }
    std::sort(merged.begin(), merged.end(),
              [](const ConnectionRecord& a, const ConnectionRecord& b) { return a.nId < b.nId; });
    return merged;
}

Status CTnlSession::GetConnectionsList(VARIANT* out) {
    if (out == nullptr) return kInvalidParameter;
    VariantClear(out);
    std::string strReply;
    Status status = Exchange(&m_link, BuildListRequest(), &strReply);
    std::vector<ListedConnection> listed;
    if (status == kOk) status = ReadConnectionList(strReply, &listed);
    if (status != kOk) return status;
    m_records = MergeList(listed);
    CVariantList ids;
    for (const ConnectionRecord& record : m_records) ids.AppendInt(record.nId);
    return ids.Empty() ? kOk : ids.MoveTo(out);
}

Status CTnlSession::CreateConnection(int nType, int* pnId) {
    if (!m_link.IsOpen()) return kPipeNotConnected;
    const char* szTemplate = ConnectionTemplate(nType);
    if (szTemplate == nullptr) return kInvalidData;
    m_records.push_back(NewRecord(szTemplate, "", false));
    if (pnId != nullptr) *pnId = m_records.back().nId;
    return kOk;
}

Status CTnlSession::DeleteAllConnections() {
    std::string strReply;
    Status status = Exchange(&m_link, BuildDeleteAllRequest(), &strReply);
    if (status == kOk) m_records.clear();
    return status;
}

Status CTnlSession::DeleteConnection(int nId) {
    ConnectionRecord* record = nullptr;
    if (Status status = FindOpenRecord(nId, &record); status != kOk) return status;
    if (record->bAdded) {
        std::string strName, strReply;
        Status status = ReadTextParam(*record, "name", &strName);
        if (status == kOk) status = Exchange(&m_link, BuildDeleteRequest(strName), &strReply);
        if (status != kOk) return status;
    }
    m_records.erase(m_records.begin() + (record - m_records.data()));
    return kOk;
}

void CTnlSession::FillDefaultHost(ConnectionRecord* record) {
    VARIANT value;
    VariantInit(&value);
    Status status = ReadParam(*record, "type", &value);
    bool bNeedsHost =
        status == kOk && (value.lVal == TNL_TYPE_CLIENT || value.lVal == TNL_TYPE_UDP);
    if (bNeedsHost) {
        status = ReadParam(*record, "network.host", &value);
        bNeedsHost = (status != kOk && static_cast<int32_t>(status) > 0) ||
                     (status == kOk && value.vt == VT_EMPTY);
    }
    VariantClear(&value);
    if (!bNeedsHost) return;
    CVariantList entry, entries;
    if (entry.AppendText("localhost") == kOk && entry.AppendText("5001") == kOk &&
        entries.AppendList(&entry) == kOk && entries.MoveTo(&value) == kOk) {
        WriteParam(record, "network.host", value);
    }
    VariantClear(&value);
}

Status CTnlSession::AddConnectionService(int nId) {
    ConnectionRecord* record = nullptr;
    if (Status status = FindOpenRecord(nId, &record); status != kOk) return status;
    FillDefaultHost(record);
    std::string strRequest, strReply;
    Status status = BuildAddRequest(record->strDocument, &strRequest);
    if (status == kOk) status = Exchange(&m_link, strRequest, &strReply);
    if (status == kOk) record->bAdded = true;
    return status;
}

Status CTnlSession::SetParam(int nId, const VARIANT* name, const VARIANT* value) {
    if (!m_link.IsOpen()) return kPipeNotConnected;
    if (name == nullptr || name->vt != VT_BSTR || value == nullptr) return kInvalidParameter;
    std::string strName = ParamName(*name);
    if (IsProtectedName(ParamNameToPath(strName))) return kAccessDenied;
    ConnectionRecord* record = FindRecord(nId);
    if (record == nullptr) return kFileNotFound;
    return WriteParam(record, strName, *value);
}

Status CTnlSession::GetParam(int nId, const VARIANT* name, VARIANT* value) {
    if (value == nullptr) return kInvalidParameter;
    VariantClear(value);
    if (!m_link.IsOpen()) return kPipeNotConnected;
    if (name == nullptr || name->vt != VT_BSTR) return kInvalidParameter;
    ConnectionRecord* record = FindRecord(nId);
    if (record == nullptr) return kFileNotFound;
    return ReadParam(*record, ParamName(*name), value);
}

Status CTnlSession::ApplyConnection(int nId) {
    ConnectionRecord* record = nullptr;
    if (Status status = FindOpenRecord(nId, &record); status != kOk) return status;
    std::string strName, strRequest, strReply;
    Status status = ReadTextParam(*record, "name", &strName);
    if (status == kOk)
        status = BuildUpdateRequest(record->strDocument, record->strServiceName, &strRequest);
    if (status == kOk) status = Exchange(&m_link, strRequest, &strReply);
    if (status == kOk) record->strServiceName = strName;
    return status;
}

Status CTnlSession::UpdateConnectionStatus(int nId) {
    ConnectionRecord* record = nullptr;
    if (Status status = FindOpenRecord(nId, &record); status != kOk) return status;
    std::string strName, strReply, strMerged;
    Status status = ReadTextParam(*record, "name", &strName);
    if (status == kOk) status = Exchange(&m_link, BuildStatusRequest(strName), &strReply);
    if (status == kOk) status = MergeStatus(record->strDocument, strReply, &strMerged);
    if (status == kOk) record->strDocument = std::move(strMerged);
    return status;
}

}  // namespace tnl
