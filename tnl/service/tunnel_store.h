// The connections of a tunnel service and its answers to the protocol's requests (GETLIST,
// GETSTAT, ADD, UPDATE, DELETE one or all). Used by the service and by its test double. Not
// thread-safe; the server serialises.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tnl_service {

class CTunnelStore {
  public:
    CTunnelStore();

    // The reply to one request text; a request that does not parse or is not understood gets
    // an "ERROR" reply and changes nothing.
    std::string Handle(std::string_view request);

    // Names of the stored connections, in the order they were added.
    std::vector<std::string> Names() const;
    // The stored connection element (status included) serialised, or empty when unknown.
    std::string Connection(const std::string& name) const;
    // Replaces the status of a connection by the element given as text.
    bool SetStatus(const std::string& name, const std::string& statusXml);
    void Clear();

    // Each stored connection serialised without its status, in order.
    std::vector<std::string> Configs() const;
    // Every connection without status, as one <connections> document, and back. LoadText
    // replaces the stored connections; false (nothing changed) when the text does not parse.
    std::string SaveText() const;
    bool LoadText(const std::string& text);

    static std::string ErrorReply(std::string_view message);

  private:
    pugi::xml_node Find(std::string_view name) const;
    std::string List() const;
    std::string Stat(const pugi::xml_node& operation) const;
    std::string Add(const pugi::xml_node& operation);
    std::string Update(const pugi::xml_node& operation);
    std::string Delete(const pugi::xml_node& operation);

    pugi::xml_document m_doc;  // <connections> holding one <connection> per stored connection
    pugi::xml_node m_root;
};

}  // namespace tnl_service
