#include "tnl/service/connection_config.h"

#include <algorithm>
#include <cstdlib>
#include <pugixml.hpp>

namespace tnl_service {

namespace {

constexpr const char* kDefaultHost = "localhost";
constexpr uint16_t kDefaultPort = 5001;
constexpr int kLastComNumber = 255;

bool ParseType(std::string_view text, ETunnelType* eType) {
    static const std::pair<const char*, ETunnelType> kTypes[] = {{"SERVER", ETunnelType::kServer},
                                                                 {"CLIENT", ETunnelType::kClient},
                                                                 {"UDP", ETunnelType::kUdp}};
    for (const auto& [szName, eValue] : kTypes) {
        if (text == szName) {
            *eType = eValue;
            return true;
        }
    }
    return false;
}

// An integer attribute at path/@name (leading digits, as the library writes them); the fallback
// when it is missing.
int IntAt(const pugi::xml_node& connection, const char* szPath, const char* szName, int nFallback) {
    pugi::xml_attribute attribute = connection.first_element_by_path(szPath).attribute(szName);
    return attribute ? static_cast<int>(strtol(attribute.value(), nullptr, 10)) : nFallback;
}

uint16_t PortNumber(long nValue) {
    return nValue > 0 && nValue <= 65535 ? static_cast<uint16_t>(nValue) : 0;
}

std::vector<CHostEntry> ReadHosts(const pugi::xml_node& connection) {
    std::vector<CHostEntry> hosts;
    for (pugi::xml_node host : connection.child("network").children("host")) {
        hosts.push_back({host.attribute("name").value(),
                         PortNumber(strtol(host.attribute("port").value(), nullptr, 10))});
    }
    return hosts;
}

}  // namespace

std::string LinkNameForPort(std::string_view portName) {
    if (portName.size() < 4 || portName.size() > 6) return {};
    std::string strLink;
    for (char c : portName) strLink += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (strLink.compare(0, 3, "com") != 0 || strLink[3] == '0') return {};
    int nNumber = 0;
    for (size_t i = 3; i < strLink.size(); ++i) {
        if (strLink[i] < '0' || strLink[i] > '9') return {};
        nNumber = nNumber * 10 + (strLink[i] - '0');
    }
    return nNumber <= kLastComNumber ? strLink : std::string();
}

bool ParseConnection(std::string_view text, CConnectionConfig* config) {
    pugi::xml_document doc;
    // As the store reads it: a name of blanks alone stays.
    if (!doc.load_buffer(text.data(), text.size(),
                         pugi::parse_default | pugi::parse_ws_pcdata_single)) {
        return false;
    }
    pugi::xml_node connection = doc.child("connection");
    CConnectionConfig parsed;
    parsed.strName = connection.child("name").text().get();
    if (parsed.strName.empty() ||
        !ParseType(connection.child("type").text().get(), &parsed.eType)) {
        return false;
    }
    pugi::xml_node port = connection.child("port");
    if (std::string_view(port.child("type").text().get()) == "Virtual") {
        parsed.strLinkName = LinkNameForPort(port.child("name").text().get());
    }
    parsed.strSettings = port.child("settings").text().get();
    parsed.hosts = ReadHosts(connection);
    if (parsed.hosts.empty() && parsed.eType == ETunnelType::kClient) {
        parsed.hosts.push_back({kDefaultHost, kDefaultPort});
    }
    parsed.nIncomePort = PortNumber(IntAt(connection, "network/incomeport", "port", 0));
    parsed.bReconnect = IntAt(connection, "protocol/reconnect", "enable", 1) != 0;
    parsed.nReconnectMs = IntAt(connection, "protocol/reconnect", "timeout", parsed.nReconnectMs);
    parsed.bKeepAlive = IntAt(connection, "network/keepalive", "enable", 0) != 0;
    parsed.nKeepAliveMs = IntAt(connection, "network/keepalive", "timeout", parsed.nKeepAliveMs);
    parsed.nKeepAliveReplyMs =
        IntAt(connection, "network/keepalive", "noreply", parsed.nKeepAliveReplyMs);
    parsed.bBreak = IntAt(connection, "network/break", "enable", 0) != 0;
    parsed.nBreakMs = IntAt(connection, "network/break", "timeout", parsed.nBreakMs);
    parsed.bNoDelay = IntAt(connection, "network/nagle", "enable", 1) == 0;
    parsed.nMaxConnections =
        std::max(1, IntAt(connection, "protocol/maxconnections", "value", parsed.nMaxConnections));
    *config = std::move(parsed);
    return true;
}

}  // namespace tnl_service
