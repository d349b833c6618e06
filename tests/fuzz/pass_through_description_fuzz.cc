// The page's JSON for a pass-through and for the panel editor's download tool.
//
// Input: the JSON text, then 0x1F and the address the download target's host resolves to
// (none: it does not resolve).
// Properties: the pass-through's url splits into host, port and subdomain that join back into
// it; the download argument names the resolved address without dots, the port as a number and
// whatever followed a second colon of the url.
#include <cjson/cJSON.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "panel/panel_editor.h"
#include "tests/fuzz/fuzz_support.h"
#include "tunnel/pass_through.h"

namespace {

// The url member as both parsers see it (names match in any letter case); false when absent.
bool ReadUrl(const std::string& strJson, std::string* pUrl) {
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_Parse(strJson.c_str()),
                                                               &cJSON_Delete);
    const cJSON* pUrlItem = cJSON_GetObjectItem(root.get(), "url");
    if (!cJSON_IsString(pUrlItem)) return false;
    *pUrl = pUrlItem->valuestring;
    return true;
}

void CheckPassThrough(const std::string& strJson, bool bHasUrl, const std::string& strUrl) {
    CPassThroughRequest request;
    if (strJson.empty() || !ParsePassThroughDescription(strJson, &request)) return;
    std::string joined = request.strHost;
    if (strUrl.find(':') != std::string::npos) joined += ":" + request.strPort;
    if (request.bHasSubdomain) joined += ":" + request.strSubdomain;
    if (request.bHasUrl != bHasUrl || (bHasUrl && joined != strUrl) ||
        request.strHost.find(':') != std::string::npos ||
        request.strPort.find(':') != std::string::npos) {
        ReportViolation("the url does not split into its parts", strUrl, joined);
    }
}

void CheckDownloadArgument(const std::string& strJson, const std::string& strUrl,
                           const std::string& strAddress) {
    auto resolve = [&](const std::string&, std::string* pAddress) {
        *pAddress = strAddress;
        return !strAddress.empty();
    };
    std::string strArgument;
    if (!MakeDownloadArgument(strJson, resolve, &strArgument)) return;
    std::string strPrefix = "LoadMode2 " + strAddress + " 0 ";
    std::replace(strPrefix.begin(), strPrefix.end(), '.', ' ');
    const size_t nExtra = strUrl.find(':', strUrl.find(':') + 1);
    const std::string strExtra = nExtra == std::string::npos ? "" : " " + strUrl.substr(nExtra + 1);
    const std::string strPort = strArgument.substr(std::min(strPrefix.size(), strArgument.size()));
    char* pEnd = nullptr;
    std::strtol(strPort.c_str(), &pEnd, 10);
    if (!strArgument.starts_with(strPrefix) || !strArgument.ends_with(strExtra) ||
        pEnd == strPort.c_str() || std::string_view(pEnd) != strExtra) {
        ReportViolation("a download argument of the wrong form", strUrl, strArgument);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = SplitFields(AsText(data, size), kFuzzUnitSep, 2);
    // Both parsers read C strings: the JSON ends at a NUL byte.
    const std::string strJson(fields[0].substr(0, fields[0].find('\0')));
    std::string strUrl;
    const bool bHasUrl = ReadUrl(strJson, &strUrl);
    CheckPassThrough(strJson, bHasUrl, strUrl);
    CheckDownloadArgument(strJson, strUrl, std::string(fields[1]));
    return 0;
}
