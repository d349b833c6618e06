#include "tnl/messages.h"

#include <pugixml.hpp>

#include "tnl/xml_util.h"

namespace tnl {

namespace {

constexpr const char* kTemplates[] = {
    "<connection><type>SERVER</type><name /><port /><protocol /><network /><security />"
    "</connection>",
    "<connection><type>CLIENT</type><name /><port /><protocol /><network /><security />"
    "</connection>",
    "<connection><type>UDP</type><name /><port /><protocol /><network /><security />"
    "</connection>",
};

constexpr const char* kAddBase =
    "<proto version=\"6.0\"><operation type=\"ADD\"></operation></proto>";

// Appends the record's connection element (optionally without its status) to the operation of
// a request and serialises the request.
Status BuildWithConnection(const std::string& base, const std::string& document,
                           bool bWithoutStatus, std::string* request) {
    pugi::xml_document requestDoc;
    Status status = ParseXml(base, &requestDoc);
    if (status != kOk) return status;
    pugi::xml_node operation = SelectPath(requestDoc, "proto/operation");
    pugi::xml_document connectionDoc;
    status = ParseXml(document, &connectionDoc);
    if (status != kOk) return status;
    pugi::xml_node connection = connectionDoc.child("connection");
    if (!operation || !connection) return kNotFound;
    pugi::xml_node copy = operation.append_copy(connection);
    if (!copy) return kXmlFailure;
    if (bWithoutStatus) copy.remove_child("status");
    *request = SerializeDocument(requestDoc);
    return kOk;
}

}  // namespace

const char* ConnectionTemplate(int nType) {
    if (nType < TNL_TYPE_SERVER || nType > TNL_TYPE_UDP) return nullptr;
    return kTemplates[nType];
}

std::string BuildListRequest() {
    return "<proto version=\"6.0\" id=\"1\"><operation type=\"GETLIST\" status=\"1\"/></proto>";
}

std::string BuildDeleteAllRequest() {
    return "<proto version=\"6.0\"><operation type=\"DELETE\" all=\"1\"/></proto>";
}

std::string BuildStatusRequest(std::string_view name) {
    return "<proto version=\"6.0\"><operation type=\"GETSTAT\" applyto=\"" + EscapeXmlText(name) +
           "\" /></proto>";
}

std::string BuildDeleteRequest(std::string_view name) {
    return "<proto version=\"6.0\"><operation type=\"DELETE\"><connection><name>" +
           EscapeXmlText(name) + "</name></connection></operation></proto>";
}

Status BuildAddRequest(const std::string& document, std::string* request) {
    return BuildWithConnection(kAddBase, document, false, request);
}

Status BuildUpdateRequest(const std::string& document, std::string_view serviceName,
                          std::string* request) {
    std::string strBase = "<proto version=\"6.0\"><operation type=\"UPDATE\" applyto=\"" +
                          EscapeXmlText(serviceName) + "\"></operation></proto>";
    return BuildWithConnection(strBase, document, true, request);
}

Status CheckReply(std::string_view reply) {
    pugi::xml_document doc;
    Status status = ParseXml(reply, &doc);
    if (status != kOk) return status;
    pugi::xml_attribute type = SelectPath(doc, "proto/operation").attribute("type");
    if (!type) return kNotFound;
    return std::string_view(type.value()) == "ERROR" ? kNotSupported : kOk;
}

Status ReadConnectionList(std::string_view reply, std::vector<ListedConnection>* connections) {
    connections->clear();
    pugi::xml_document doc;
    Status status = ParseXml(reply, &doc);
    if (status != kOk) return status;
    // Every connection of every operation, in document order.
    for (const pugi::xpath_node& selected : doc.select_nodes("proto/operation/connection")) {
        pugi::xml_node connection = selected.node();
        pugi::xml_node name = connection.child("name");
        if (!name) return kNotFound;
        connections->push_back({NodeText(name), SerializeNode(connection)});
    }
    return kOk;
}

Status MergeStatus(const std::string& document, std::string_view reply, std::string* merged) {
    pugi::xml_document doc;
    Status status = ParseXml(document, &doc);
    if (status != kOk) return status;
    pugi::xml_node connection = doc.child("connection");
    if (!connection.child("status")) return kNotFound;
    pugi::xml_document replyDoc;
    status = ParseXml(reply, &replyDoc);
    if (status != kOk) return status;
    // The first status in document order, whichever connection of the reply carries it.
    pugi::xml_node newStatus = replyDoc.select_node("proto/operation/connection/status").node();
    if (!newStatus) return kNotFound;
    connection.remove_child("status");
    if (!connection.append_copy(newStatus)) return kXmlFailure;
    *merged = SerializeDocument(doc);
    return kOk;
}

}  // namespace tnl
