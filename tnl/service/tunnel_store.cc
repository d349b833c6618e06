#include "tnl/service/tunnel_store.h"

#include <sstream>

namespace tnl_service {

namespace {

// Text of blanks alone is kept where it is an element's only content (a name of " ", which the
// library writes as a reference), and dropped between elements, where it is layout.
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_ws_pcdata_single;
constexpr const char* kSuccessReply =
    "<proto version=\"6.0\"><operation type=\"SUCCESS\"/></proto>";
// What a new connection reports until told otherwise: port open, no traffic.
constexpr const char* kInitialStatus =
    "<status><port state=\"1\" settings=\"9600,n,8,1\"/><stat sent=\"0\" recv=\"0\"/>"
    "<serverstate state=\"0\" activeconns=\"0\"/></status>";

std::string Serialize(const pugi::xml_node& node) {
    std::ostringstream stream;
    node.print(stream, "", pugi::format_raw | pugi::format_no_declaration);
    // Tabs and carriage returns go out as references, so that names holding them read back.
    std::string text;
    for (char c : stream.str()) text += c == '\t' ? "&#9;" : c == '\r' ? "&#13;" : std::string(1, c);
    return text;
}

std::string NameOf(const pugi::xml_node& connection) {
    return connection.child("name").text().get();
}

// The reply document: proto/operation with the given type.
pugi::xml_node StartReply(pugi::xml_document* doc, const char* szType) {
    pugi::xml_node proto = doc->append_child("proto");
    proto.append_attribute("version") = "6.0";
    pugi::xml_node operation = proto.append_child("operation");
    operation.append_attribute("type") = szType;
    return operation;
}

// A stored name is one text node holding the name the store compared. A request may split it
// (a comment or an instruction between two texts, which are not kept): saved and read back, the
// pieces would join into another name than the one the store checked.
void KeepPlainName(pugi::xml_node connection, const std::string& name) {
    pugi::xml_node element = connection.child("name");
    while (element.first_child()) element.remove_child(element.first_child());
    element.text().set(name.c_str());
}

bool ParseElement(const std::string& text, pugi::xml_document* doc) {
    return doc->load_string(text.c_str(), kParseFlags) && doc->document_element();
}

}  // namespace

CTunnelStore::CTunnelStore() {
    m_root = m_doc.append_child("connections");
}

std::string CTunnelStore::ErrorReply(std::string_view message) {
    pugi::xml_document doc;
    StartReply(&doc, "ERROR").text().set(std::string(message).c_str());
    return Serialize(doc);
}

pugi::xml_node CTunnelStore::Find(std::string_view name) const {
    for (pugi::xml_node connection : m_root.children("connection")) {
        if (NameOf(connection) == name) return connection;
    }
    return {};
}

std::vector<std::string> CTunnelStore::Names() const {
    std::vector<std::string> names;
    for (pugi::xml_node connection : m_root.children("connection")) {
        names.push_back(NameOf(connection));
    }
    return names;
}

std::string CTunnelStore::Connection(const std::string& name) const {
    pugi::xml_node connection = Find(name);
    return connection ? Serialize(connection) : std::string();
}

bool CTunnelStore::SetStatus(const std::string& name, const std::string& statusXml) {
    pugi::xml_node connection = Find(name);
    pugi::xml_document status;
    if (!connection || !ParseElement(statusXml, &status)) return false;
    connection.remove_child("status");
    return connection.append_copy(status.document_element());
}

void CTunnelStore::Clear() {
    while (m_root.first_child()) m_root.remove_child(m_root.first_child());
}

std::vector<std::string> CTunnelStore::Configs() const {
    std::vector<std::string> configs;
    for (pugi::xml_node connection : m_root.children("connection")) {
        pugi::xml_document copy;
        copy.append_copy(connection).remove_child("status");
        configs.push_back(Serialize(copy));
    }
    return configs;
}

std::string CTunnelStore::SaveText() const {
    pugi::xml_document copy;
    pugi::xml_node root = copy.append_copy(m_root);
    for (pugi::xml_node connection : root.children("connection")) connection.remove_child("status");
    return Serialize(copy);
}

bool CTunnelStore::LoadText(const std::string& text) {
    pugi::xml_document loaded;
    if (!ParseElement(text, &loaded)) return false;
    pugi::xml_node root = loaded.child("connections");
    if (!root) return false;
    Clear();
    pugi::xml_document status;
    ParseElement(kInitialStatus, &status);
    for (pugi::xml_node connection : root.children("connection")) {
        m_root.append_copy(connection).append_copy(status.document_element());
    }
    return true;
}

std::string CTunnelStore::Handle(std::string_view request) {
    pugi::xml_document doc;
    if (!doc.load_buffer(request.data(), request.size(), kParseFlags)) {
        return ErrorReply("malformed request");
    }
    pugi::xml_node operation = doc.child("proto").child("operation");
    std::string_view type = operation.attribute("type").value();
    if (type == "GETLIST") return List();
    if (type == "GETSTAT") return Stat(operation);
    if (type == "ADD") return Add(operation);
    if (type == "UPDATE") return Update(operation);
    if (type == "DELETE") return Delete(operation);
    return ErrorReply("unknown operation");
}

std::string CTunnelStore::List() const {
    pugi::xml_document reply;
    pugi::xml_node operation = StartReply(&reply, "LIST");
    for (pugi::xml_node connection : m_root.children("connection")) {
        operation.append_copy(connection);
    }
    return Serialize(reply);
}

std::string CTunnelStore::Stat(const pugi::xml_node& operation) const {
    pugi::xml_node connection = Find(operation.attribute("applyto").value());
    if (!connection) return ErrorReply("no such connection");
    pugi::xml_document reply;
    pugi::xml_node copy = StartReply(&reply, "STAT").append_child("connection");
    copy.append_copy(connection.child("name"));
    copy.append_copy(connection.child("status"));
    return Serialize(reply);
}

std::string CTunnelStore::Add(const pugi::xml_node& operation) {
    pugi::xml_node connection = operation.child("connection");
    std::string strName = NameOf(connection);
    if (!connection || strName.empty()) return ErrorReply("a connection needs a name");
    if (Find(strName)) return ErrorReply("a connection of that name exists");
    pugi::xml_node stored = m_root.append_copy(connection);
    KeepPlainName(stored, strName);
    stored.remove_child("status");
    pugi::xml_document status;
    ParseElement(kInitialStatus, &status);
    stored.append_copy(status.document_element());
    return kSuccessReply;
}

std::string CTunnelStore::Update(const pugi::xml_node& operation) {
    pugi::xml_node stored = Find(operation.attribute("applyto").value());
    pugi::xml_node connection = operation.child("connection");
    if (!stored || !connection) return ErrorReply("no such connection");
    std::string strName = NameOf(connection);
    pugi::xml_node other = Find(strName);
    if (strName.empty() || (other && other != stored)) return ErrorReply("bad connection name");
    // The service keeps its own status; everything else comes from the request.
    pugi::xml_node updated = m_root.insert_copy_after(connection, stored);
    KeepPlainName(updated, strName);
    updated.remove_child("status");
    updated.append_copy(stored.child("status"));
    m_root.remove_child(stored);
    return kSuccessReply;
}

std::string CTunnelStore::Delete(const pugi::xml_node& operation) {
    if (std::string_view(operation.attribute("all").value()) == "1") {
        Clear();
        return kSuccessReply;
    }
    pugi::xml_node stored = Find(NameOf(operation.child("connection")));
    if (!stored) return ErrorReply("no such connection");
    m_root.remove_child(stored);
    return kSuccessReply;
}

}  // namespace tnl_service
