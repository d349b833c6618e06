#include "tunnel/pass_through.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/serial_port.h"
#include "support/leading_number.h"
#include "support/localized_strings.h"
#include "support/settings.h"
#include "tnl/tnl.h"
#include "tunnel/com_ports.h"
#include "tunnel/service_control.h"
#include "tunnel/tnl_value.h"
#include "tunnel/virtual_port.h"

std::atomic<int> g_nPassThroughMode{0};

namespace {

// Used when the page gives no description: direct mode, 9600 baud, E, 7, 1, and a test
// server on this machine.
constexpr const char* kSampleDescription =
    "{\"baudrate\":9600,\"stop_bit\":1,\"data_length\":7,\"check_bit\":\"EVEN\","
    "\"url\":\"127.0.0.1:61\"}";
constexpr int kRelayType = 1;
constexpr int kPortAttempts = 4;
constexpr const char* kRelayHost = "localhost";
constexpr const char* kRelayPort = "5001";
// The handshake through the virtual port waits at most 50 ms between bytes and 10 ms per
// byte plus 50 ms in all, each way.
constexpr platform::CSerialTimeouts kHandshakeTimeouts{50, 10, 50, 10, 50};

// Filled by the starts; the subdomain stays from one start to the next when a url leaves it out.
CRelayParams g_relayParams;
std::mutex g_relayParamsMutex;

// A JSON number, or the leading decimal digits of a text; false when the key is absent.
bool ReadNumber(const cJSON* pObject, const char* szKey, int* pnValue) {
    const cJSON* pItem = cJSON_GetObjectItem(pObject, szKey);
    if (cJSON_IsNumber(pItem)) {
        *pnValue = pItem->valueint;
    } else if (cJSON_IsString(pItem)) {
        *pnValue = ReadLeadingNumber(pItem->valuestring);
    } else {
        return false;
    }
    return true;
}

int ReadNumberOr(const cJSON* pObject, const char* szKey, int nDefault) {
    int nValue = nDefault;
    ReadNumber(pObject, szKey, &nValue);
    return nValue;
}

// "host:port" or "host:port:subdomain".
void SplitUrl(const std::string& strUrl, CPassThroughRequest* pRequest) {
    const size_t nHostEnd = strUrl.find(':');
    pRequest->bHasUrl = true;
    pRequest->strHost = strUrl.substr(0, nHostEnd);
    const std::string strRest = nHostEnd == std::string::npos ? "" : strUrl.substr(nHostEnd + 1);
    const size_t nPortEnd = strRest.find(':');
    pRequest->strPort = strRest.substr(0, nPortEnd);
    pRequest->bHasSubdomain = nPortEnd != std::string::npos;
    if (pRequest->bHasSubdomain) pRequest->strSubdomain = strRest.substr(nPortEnd + 1);
}

std::string SerialParamsText(const cJSON* pObject) {
    const cJSON* pParity = cJSON_GetObjectItem(pObject, "check_bit");
    const char cParity = cJSON_IsString(pParity) && pParity->valuestring[0] != '\0'
                             ? pParity->valuestring[0]
                             : 'E';
    char szParams[64];
    std::snprintf(szParams, sizeof(szParams), "%d,%c,%d,%d",
                  ReadNumberOr(pObject, "baudrate", 9600), cParity,
                  ReadNumberOr(pObject, "data_length", 7), ReadNumberOr(pObject, "stop_bit", 1));
    return szParams;
}

std::string Limited(const std::string& strText) { return strText.substr(0, kRelayTextLimit); }

// The url and listen port of the request go to the relay parameters and the tunnel address.
void TakeAddresses(const CPassThroughRequest& request) {
    std::lock_guard<std::mutex> lock(g_relayParamsMutex);
    if (request.bHasUrl) {
        g_appSettings.strTunnelHost = request.strHost;
        g_appSettings.strTunnelPort = request.strPort;
        g_relayParams.strRemoteHost = Limited(request.strHost);
        g_relayParams.nRemotePort = ReadLeadingNumber(request.strPort);
        if (request.bHasSubdomain) g_relayParams.strSubdomain = Limited(request.strSubdomain);
    }
    if (request.bHasListenPort) g_relayParams.nListenPort = request.nListenPort;
}

// Tells the remote server the subdomain through the virtual port itself. True when accepted.
bool ShakeHandsThroughPort(const std::string& strPortName, const std::string& strSubdomain) {
    platform::CSerialPort port;
    const std::string strDevice = PortDevicePath(strPortName);
    if (strDevice.empty() || !port.Open(strDevice)) return false;
    port.SetTimeouts(kHandshakeTimeouts);
    const std::string strRequest = SubdomainRequest(strSubdomain);
    if (port.Write(strRequest.data(), strRequest.size()) != static_cast<long>(strRequest.size())) {
        return false;
    }
    char reply[kHandshakeReplyLimit];
    const long n = port.Read(reply, sizeof(reply));
    return n > 0 && IsSubdomainAccepted(reply, static_cast<size_t>(n));
}

int StartRelayMode() {
    if (!PassThroughRelay().Start(PassThroughRelayParams())) return 0;
    g_nPassThroughMode = 2;
    return 1;
}

int StartDirectMode(const CPassThroughRequest& request, ITunnelReport& report) {
    g_appSettings.strSerialParams = request.strSerialParams;
    g_nPassThroughMode = 1;
    if (!RecreateVirtualPort(kPortAttempts, false)) {
        report.ShowErrorText(GetLocalizedString("create_error"));
        return 1;
    }
    // The remote server hears the subdomain (empty when none was ever named) before the port
    // is handed to the download tool; the answer is not looked at.
    ShakeHandsThroughPort(g_appSettings.strVirCom, PassThroughRelayParams().strSubdomain);
    return 1;
}

}  // namespace

bool ParsePassThroughDescription(const std::string& strDescription,
                                 CPassThroughRequest* pRequest) {
    cJSON* pObject =
        cJSON_Parse(strDescription.empty() ? kSampleDescription : strDescription.c_str());
    if (!cJSON_IsObject(pObject)) {
        cJSON_Delete(pObject);
        return false;
    }
    *pRequest = CPassThroughRequest{};
    pRequest->nType = ReadNumberOr(pObject, "type", 0);
    const cJSON* pUrl = cJSON_GetObjectItem(pObject, "url");
    if (cJSON_IsString(pUrl)) SplitUrl(pUrl->valuestring, pRequest);
    pRequest->bHasListenPort = ReadNumber(pObject, "e_port", &pRequest->nListenPort);
    pRequest->strSerialParams = SerialParamsText(pObject);
    cJSON_Delete(pObject);
    return true;
}

CRelayParams PassThroughRelayParams() {
    std::lock_guard<std::mutex> lock(g_relayParamsMutex);
    return g_relayParams;
}

int StartPassThrough(const std::string& strDescription, ITunnelReport& report) {
    CPassThroughRequest request;
    if (!ParsePassThroughDescription(strDescription, &request)) return 0;
    TakeAddresses(request);
    return request.nType == kRelayType ? StartRelayMode() : StartDirectMode(request, report);
}

int StopPassThrough() {
    const int nMode = g_nPassThroughMode.load();
    if (nMode == 1) {
        g_appSettings.strTunnelHost = kRelayHost;
        g_appSettings.strTunnelPort = kRelayPort;
        RecreateVirtualPort(kPortAttempts, true);
    } else if (nMode == 2) {
        PassThroughRelay().Stop();
    }
    g_nPassThroughMode = 0;
    return 1;
}
