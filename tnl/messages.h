// The XML protocol spoken with the tunnel service: connection templates, the request texts,
// and what the library reads from the replies.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tnl/tnl_status.h"

namespace tnl {

// The document of a new connection of type TNL_TYPE_*, or null for another type.
const char* ConnectionTemplate(int nType);

std::string BuildListRequest();
std::string BuildDeleteAllRequest();
// The name is escaped for XML, so any name reaches the service as it is.
std::string BuildStatusRequest(std::string_view name);
std::string BuildDeleteRequest(std::string_view name);
// ADD with the connection document; UPDATE with it, less its status, addressed to serviceName.
Status BuildAddRequest(const std::string& document, std::string* request);
Status BuildUpdateRequest(const std::string& document, std::string_view serviceName,
                          std::string* request);

// kOk unless the reply does not parse, lacks proto/operation or its type (kNotFound), or says
// "ERROR" (kNotSupported).
Status CheckReply(std::string_view reply);

struct ListedConnection {
    std::string strName;
    std::string strDocument;
};
// The connections of a GETLIST reply in document order; kNotFound when one has no name.
Status ReadConnectionList(std::string_view reply, std::vector<ListedConnection>* connections);

// The document with its status replaced by the one in a GETSTAT reply. kNotFound when the
// document has no status yet or the reply carries none.
Status MergeStatus(const std::string& document, std::string_view reply, std::string* merged);

}  // namespace tnl
