// Requests to the tunnel service's store, cut out of the input as the service cuts them out of
// its socket's byte stream (each through "</proto>"), all answered by one store. Properties:
//  - every reply is a proto/operation of type SUCCESS, ERROR, LIST or STAT;
//  - the stored names stay non-empty and distinct;
//  - the stored connections keep their names across the text the service persists;
//  - a stored connection of a known type is read by the service, with its name and sane
//    settings.
#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tnl/service/connection_config.h"
#include "tnl/service/service_socket.h"
#include "tnl/service/tunnel_store.h"

namespace {

using tnl_service::CConnectionConfig;
using tnl_service::CTunnelStore;

constexpr size_t kMaxRequests = 16;

void CheckReply(const std::string& request, const std::string& reply) {
    pugi::xml_document doc;
    const std::string_view type =
        doc.load_string(reply.c_str())
            ? doc.child("proto").child("operation").attribute("type").value()
            : "";
    if (type != "SUCCESS" && type != "ERROR" && type != "LIST" && type != "STAT") {
        ReportViolation("a reply of no known type", request, reply);
    }
}

void CheckNames(const CTunnelStore& store) {
    const std::vector<std::string> names = store.Names();
    const std::set<std::string> distinct(names.begin(), names.end());
    if (distinct.size() != names.size() || distinct.count("")) {
        ReportViolation("stored names are empty or repeated", "", store.SaveText());
    }
}

void CheckPersisted(const CTunnelStore& store) {
    CTunnelStore reloaded;
    if (!reloaded.LoadText(store.SaveText()) || reloaded.Names() != store.Names()) {
        ReportViolation("stored connections lose their names", store.SaveText(),
                        reloaded.SaveText());
    }
}

void CheckConfigs(const CTunnelStore& store) {
    const std::vector<std::string> names = store.Names(), configs = store.Configs();
    for (size_t i = 0; i < configs.size(); ++i) {
        pugi::xml_document doc;
        doc.load_string(configs[i].c_str());
        const std::string_view type = doc.child("connection").child("type").text().get();
        const bool bKnownType = type == "SERVER" || type == "CLIENT" || type == "UDP";
        CConnectionConfig config;
        if (!tnl_service::ParseConnection(configs[i], &config)) {
            if (bKnownType) ReportViolation("a stored connection cannot be read", "", configs[i]);
            continue;
        }
        const std::string& link = config.strLinkName;
        if (config.strName != names[i] || config.nMaxConnections < 1 ||
            (config.eType == tnl_service::ETunnelType::kClient && config.hosts.empty()) ||
            (!link.empty() && tnl_service::LinkNameForPort(link) != link)) {
            ReportViolation("a connection read with a wrong name or setting", names[i], configs[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string stream(AsText(data, size));
    CTunnelStore store;
    std::string request;
    for (size_t n = 0; n < kMaxRequests && tnl_service::TakeMessage(&stream, &request); ++n) {
        CheckReply(request, store.Handle(request));
        CheckNames(store);
    }
    CheckPersisted(store);
    CheckConfigs(store);
    return 0;
}
