// Replies of the tunnel service as the library reads them. Properties that must hold:
//  - a listed connection's document parses again and names the same connection;
//  - merging a reply's status into a document, then merging the same reply into the result,
//    changes nothing more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tnl/messages.h"
#include "tnl/xml_util.h"

namespace {

constexpr const char* kDocumentWithStatus =
    "<connection><type>CLIENT</type><name>c1</name><port>5</port>"
    "<status><state>IDLE</state></status></connection>";

void CheckListedConnections(std::string_view reply) {
    std::vector<tnl::ListedConnection> connections;
    if (tnl::ReadConnectionList(reply, &connections) != tnl::kOk) return;
    for (const tnl::ListedConnection& connection : connections) {
        pugi::xml_document doc;
        if (tnl::ParseXml(connection.strDocument, &doc) != tnl::kOk) {
            ReportViolation("listed connection does not parse", "", connection.strDocument);
        }
        const std::string name = tnl::NodeText(doc.child("connection").child("name"));
        if (name != connection.strName) {
            ReportViolation("listed connection names another name", connection.strName, name);
        }
    }
}

void CheckMergeStatus(std::string_view reply) {
    std::string merged;
    if (tnl::MergeStatus(kDocumentWithStatus, reply, &merged) != tnl::kOk) return;
    std::string again;
    if (tnl::MergeStatus(merged, reply, &again) != tnl::kOk) {
        ReportViolation("a merged document takes the same status no more", "", merged);
    }
    if (again != merged) ReportViolation("merging the same status twice differs", merged, again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply = AsText(data, size);
    tnl::CheckReply(reply);
    CheckListedConnections(reply);
    CheckMergeStatus(reply);
    return 0;
}
