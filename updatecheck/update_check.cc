#include "updatecheck/update_check.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/net_socket.h"
#include "support/browser_launch.h"
#include "support/localized_strings.h"
#include "support/settings.h"
#include "updatecheck/dns_query.h"

namespace {

// The reply's body starts right after this header line and the empty line that follows it.
constexpr std::string_view kReplyHeaderLine = "Connection: close\r\n";
constexpr size_t kBodyOffset = 21;
constexpr unsigned kDnsTimeoutMs = 3000;
// A server that accepts and then stays silent must not hold the user interface for ever.
constexpr unsigned kConnectTimeoutMs = 21000;
constexpr unsigned kReplyTimeoutMs = 30000;

// One decimal part of a dotted address: 0 to 255, digits only, no leading zero.
bool IsAddressPart(std::string_view part) {
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    int nValue = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return false;
        nValue = nValue * 10 + (c - '0');
    }
    return nValue <= 255;
}

bool BuildRequestJson(const std::string& strCurrent, std::string* pJson) {
    try {
        Json::Value request(Json::objectValue);
        request["wareName"] = "ORVAN Access";
        request["wareVersion"] = platform::Utf8ToAnsi(strCurrent);
        request["verUpdate"] = "1.0";
        *pJson = Json::writeString(Json::StreamWriterBuilder(), request);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// An HTTP/1.0 form POST whose one field "data" holds the JSON text as it is (not encoded).
std::string BuildRequest(const std::string& strHost, const std::string& strJson) {
    std::ostringstream os;
    os << "POST " << platform::Utf8ToAnsi(g_appSettings.strReqPath) << " HTTP/1.0\r\n"
       << "Host: " << strHost << "\r\n"
       << "Content-Type:application/x-www-form-urlencoded\r\n"
       << "Content-Length:" << strJson.size() + 5 << "\r\n"
       << "Connection:close\r\n\r\n"
       << "data=" << strJson;
    return os.str();
}

std::string ValueText(const Json::Value& value) {
    if (!value.isArray() && !value.isObject()) return value.asString();
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

// The version a reply names: "result"."ver" of the JSON body after the header line. False
// when the line is missing or the body does not carry a version.
bool ReadReplyVersion(std::string_view reply, std::string* pLatest) {
    const size_t nLine = reply.find(kReplyHeaderLine);
    if (nLine == std::string_view::npos) return false;
    const std::string_view body = reply.substr(std::min(nLine + kBodyOffset, reply.size()));
    try {
        Json::Value root;
        std::string strErrors;
        const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
        if (!reader->parse(body.data(), body.data() + body.size(), &root, &strErrors) ||
            !root.isObject()) {
            return false;
        }
        const Json::Value result = root.get("result", Json::Value());
        if (!result.isObject() || result.get("ver", Json::Value()).isNull()) return false;
        *pLatest = platform::AnsiToUtf8(ValueText(result.get("ver", Json::Value())));
        return true;
    } catch (const std::exception&) {  // nesting beyond the reader's limit
        return false;
    }
}

// The addresses to try: the server itself when it is a dotted address, else the A records of
// its name in answer order. False when the name does not resolve.
bool ServerAddresses(const std::string& strServer, std::vector<std::string>* pAddresses) {
    if (IsDottedIpv4(strServer)) {
        pAddresses->assign(1, strServer);
        return true;
    }
    const CAppSettings& s = g_appSettings;
    return QueryHostAddresses(s.strDnsServer, strServer, pAddresses, kDnsTimeoutMs,
                              static_cast<uint16_t>(s.nDnsPort)) == 0;
}

// Sends the request to one address and reads the reply once: -1 when connecting, sending or
// receiving fails (the next address is tried), else the check's result.
int AskAddress(const std::string& strAddress, const std::string& strRequest,
               std::string* pLatest) {
    const platform::SocketHandle s = platform::ConnectTcp(
        strAddress, static_cast<uint16_t>(g_appSettings.nReqPort), kConnectTimeoutMs);
    if (s == platform::kInvalidSocket) return -1;
    platform::SetSocketTimeouts(s, kReplyTimeoutMs, kReplyTimeoutMs);
    std::string buffer(kUpdateReplyMax, '\0');  // stays terminated after a full receive
    long nReceived = -1;
    if (platform::SocketSend(s, strRequest.data(), strRequest.size()) ==
        static_cast<long>(strRequest.size())) {
        nReceived = platform::SocketReceive(s, buffer.data(), kUpdateReplyMax);
    }
    platform::CloseSocket(s);
    if (nReceived < 0) return -1;
    buffer.resize(static_cast<size_t>(nReceived));
    return ReadReplyVersion(buffer, pLatest) ? 1 : 0;
}

}  // namespace

bool IsDottedIpv4(const std::string& strText) {
    if (strText.size() < 7 || strText.size() > 15) return false;
    std::string_view rest = strText;
    for (int i = 0; i < 3; ++i) {
        const size_t nDot = rest.find('.');
        if (nDot == std::string_view::npos || !IsAddressPart(rest.substr(0, nDot))) return false;
        rest.remove_prefix(nDot + 1);
    }
    return IsAddressPart(rest);
}

int CheckUpdateServer(std::string* pLatest, const std::string& strCurrent) {
    // Sockets need no start-up here; the line stays for those who read the output.
    std::printf("wsa init ok\n");
    std::string strJson;
    if (!BuildRequestJson(strCurrent, &strJson)) return -1;
    const std::string strServer = platform::Utf8ToAnsi(g_appSettings.strReqServer);
    std::vector<std::string> addresses;
    if (!ServerAddresses(strServer, &addresses)) return -2;
    const std::string strRequest = BuildRequest(strServer, strJson);
    for (const std::string& strAddress : addresses) {
        const int nResult = AskAddress(strAddress, strRequest, pLatest);
        if (nResult >= 0) return nResult;
    }
    return 0;
}

int ShowUpdateOffer(IUserDialogs& dialogs, const std::string& strCurrent,
                    const std::string& strLatest) {
    const std::string strText = strCurrent + " " + GetLocalizedString("detect_new_firmware") +
                                " " + strLatest + "\n\n" +
                                GetLocalizedString("is_update_software");
    if (!dialogs.ShowMessageBox(strText, GetLocalizedString("alert_title"),
                                MessageBoxStyle::kYesNo, g_wLangId)) {
        return 0;
    }
    return OpenUrlInBrowser(g_appSettings.strReqUrl) ? 1 : 0;
}

bool CheckForUpdates(IUserDialogs& dialogs) {
    const std::string strCurrent = GetSoftwareVersion();
    std::string strLatest;
    if (CheckUpdateServer(&strLatest, strCurrent) != 1) return false;
    ShowUpdateOffer(dialogs, strCurrent, strLatest);
    return true;
}
