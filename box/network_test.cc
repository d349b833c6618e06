#include "box/network_test.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/codepage.h"
#include "support/localized_strings.h"

namespace {

// ---- Ping format -------------------------------------------------------------------------

constexpr size_t kMaxFieldDigits = 2;  // width and precision: enough for any ping text
constexpr std::string_view kFloatFlags = "-+ #0";
constexpr std::string_view kFloatConversions = "fFeEgGaA";

// Copies the digits at *pnPos into the spec; false when there are more than kMaxFieldDigits.
bool TakeDigits(std::string_view format, size_t* pnPos, std::string* pSpec) {
    size_t nDigits = 0;
    for (; *pnPos < format.size() && format[*pnPos] >= '0' && format[*pnPos] <= '9'; ++*pnPos) {
        *pSpec += format[*pnPos];
        ++nDigits;
    }
    return nDigits <= kMaxFieldDigits;
}

// Length of the floating-point conversion that starts with the '%' at nPos, or 0 when the
// sequence is none. *pSpec receives a printf conversion rebuilt only from the characters
// checked here; a length modifier is dropped, since the value passed is always a double.
size_t ParseFloatConversion(std::string_view format, size_t nPos, std::string* pSpec) {
    std::string spec = "%";
    size_t i = nPos + 1;
    while (i < format.size() && kFloatFlags.find(format[i]) != std::string_view::npos) {
        spec += format[i++];
    }
    if (!TakeDigits(format, &i, &spec)) return 0;
    if (i < format.size() && format[i] == '.') {
        spec += format[i++];
        if (!TakeDigits(format, &i, &spec)) return 0;
    }
    if (i < format.size() && (format[i] == 'l' || format[i] == 'L')) ++i;
    if (i >= format.size() || kFloatConversions.find(format[i]) == std::string_view::npos) {
        return 0;
    }
    spec += format[i++];
    *pSpec = std::move(spec);
    return i - nPos;
}

std::string FormatNumber(const std::string& spec, double dValue) {
    const int nLength = std::snprintf(nullptr, 0, spec.c_str(), dValue);
    if (nLength <= 0) return {};
    std::string text(static_cast<size_t>(nLength) + 1, '\0');
    std::snprintf(text.data(), text.size(), spec.c_str(), dValue);
    text.pop_back();
    return text;
}

// ---- JSON form ---------------------------------------------------------------------------

constexpr size_t kPingTimeChars = 32;  // only the start of "pingTime" is read

// One interface section of the JSON reply and the keys of its lines.
struct CJsonSection {
    const char* pszEnableKey;
    unsigned nFunctionBit;  // 0: written on every box type
    const char* pszIpKey;
    const char* pszIpLabel;
    const char* pszIpFailed;
    const char* pszMacKey;  // null for the mobile sections, which show the IMEI instead
    const char* pszMacLabel;
    const char* pszMacFailed;
    int nNetType;  // the "conNetType" value of a server connection over this interface
};

constexpr CJsonSection kJsonSections[] = {
    {"ethEnable", 1u << 0, "ethIp", "ethernet_ip_address", "get_ethernet_ip_failed", "ethMac",
     "ethernet_mac_address", "get_ethernet_mac_failed", 0},
    {"wifiEnable", 1u << 1, "wifiIp", "wifi_ip_address", "get_wifi_ip_failed", "wifiMac",
     "wifi_mac_address", "get_wifi_mac_failed", 1},
    {"Mob4GEnable", 1u << 2, "Mob4GIp", "mobile_network_ip_address", "get_4g_ip_failed", nullptr,
     nullptr, nullptr, 2},
    {"Mob2GEnable", 0, "Mob2GIp", "mobile_network_ip_address", "get_4g_ip_failed", nullptr, nullptr,
     nullptr, 3},
};

using CJsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// The value of a number member (cJSON matches the key in any letter case), else nDefault: a
// member of another type tells nothing about the interface.
int IntMember(const cJSON* pRoot, const char* pszKey, int nDefault) {
    const cJSON* pItem = cJSON_GetObjectItem(pRoot, pszKey);
    return cJSON_IsNumber(pItem) ? pItem->valueint : nDefault;
}

// The text of a string member as UTF-8; false when it is missing or not a string (the box
// sent no usable value, which reads as missing rather than as an empty text).
bool TextMember(const cJSON* pRoot, const char* pszKey, std::string* pText) {
    const cJSON* pItem = cJSON_GetObjectItem(pRoot, pszKey);
    if (!cJSON_IsString(pItem) || pItem->valuestring == nullptr) return false;
    *pText = platform::AnsiToUtf8(pItem->valuestring);
    return true;
}

// The formatted ping times, or empty when "pingTime" does not hold three numbers.
std::string JsonPingText(const cJSON* pRoot) {
    std::string strPing;
    if (!TextMember(pRoot, "pingTime", &strPing)) return {};
    const std::string strStart(platform::TruncateCodePoints(strPing, kPingTimeChars));
    double dTimes[3] = {};
    if (std::sscanf(strStart.c_str(), "%lf/%lf/%lf", &dTimes[0], &dTimes[1], &dTimes[2]) != 3) {
        return {};
    }
    return FormatPingTimes(GetLocalizedString("string_format"), dTimes[0], dTimes[1], dTimes[2]);
}

// A label with the member's text as a raw line, or the failure line when it is missing.
void WriteJsonValue(const cJSON* pRoot, const char* pszKey, const char* pszLabel,
                    const char* pszFailed, IOperationReport& report) {
    std::string strValue;
    if (!TextMember(pRoot, pszKey, &strValue)) {
        report.RunPageScript(pszFailed, kScriptLocalizedLine);
        return;
    }
    report.RunPageScript(pszLabel, kScriptLocalizedLine);
    report.RunPageScript(strValue, kScriptRawLine);
}

void WriteServerLine(const std::string& strPingText, IOperationReport& report) {
    if (strPingText.empty()) {
        report.RunPageScript("connect_server_failed", kScriptLocalizedLine);
        return;
    }
    report.RunPageScript("connect_server_time", kScriptLocalizedLine);
    report.RunPageScript(strPingText, kScriptRawLine);
}

void WriteJsonSection(const cJSON* pRoot, const CJsonSection& section, int nConNetType,
                      const std::string& strPingText, IOperationReport& report) {
    report.RunPageScript(kNetworkSectionLine, kScriptRawLine);
    WriteJsonValue(pRoot, section.pszIpKey, section.pszIpLabel, section.pszIpFailed, report);
    if (section.pszMacKey != nullptr) {
        WriteJsonValue(pRoot, section.pszMacKey, section.pszMacLabel, section.pszMacFailed, report);
    } else if (std::string strImei; TextMember(pRoot, "imei", &strImei)) {
        report.RunPageScript("IMEI:", kScriptRawLine);
        report.RunPageScript(strImei, kScriptRawLine);
    }
    if (nConNetType == section.nNetType) WriteServerLine(strPingText, report);
}

// ---- Text form ---------------------------------------------------------------------------

// The lines of one interface name of the text form.
struct CTextInterface {
    std::string_view name;
    const char* pszSetFailed;
    const char* pszIpLabel;
    const char* pszIpFailed;
};

constexpr CTextInterface kTextInterfaces[] = {
    {"eth0", "set_ethernet_failed", "ethernet_ip_address", "get_ethernet_ip_failed"},
    {"wlan0", "set_wifi_failed", "wifi_ip_address", "get_wifi_ip_failed"},
    {"eth1", "set_4g_failed", "mobile_network_ip_address", "mobile_network"},
    {"ppp0", "set_4g_failed", "mobile_network_ip_address", "mobile_network"},
};

const CTextInterface* FindTextInterface(std::string_view name) {
    for (const CTextInterface& iface : kTextInterfaces) {
        if (iface.name == name) return &iface;
    }
    return nullptr;
}

// Sections 1 and 2 need no closing ';' when they are the last text; a third section counts
// only when closed, and text after the third ';' is ignored.
std::vector<std::string_view> SplitTextSections(std::string_view text) {
    std::vector<std::string_view> sections;
    for (int i = 0; i < 3; ++i) {
        const size_t nEnd = text.find(';');
        if (nEnd == std::string_view::npos) {
            if (i < 2 && !text.empty()) sections.push_back(text);
            break;
        }
        sections.push_back(text.substr(0, nEnd));
        text.remove_prefix(nEnd + 1);
    }
    return sections;
}

struct CTextFields {
    std::string_view status;   // "name:status"
    std::string_view address;  // "ip:address", cut at its first line end
    std::string_view ping;     // "ping:" and times each ended by "ms\n"
};

CTextFields SplitTextFields(std::string_view section) {
    CTextFields fields;
    const size_t nFirst = section.find(',');
    if (nFirst == std::string_view::npos) return fields;
    fields.status = section.substr(0, nFirst);
    std::string_view rest = section.substr(nFirst + 1);
    const size_t nSecond = rest.find(',');
    fields.address = rest.substr(0, nSecond);
    if (nSecond != std::string_view::npos) fields.ping = rest.substr(nSecond + 1);
    fields.address = fields.address.substr(0, fields.address.find('\n'));
    return fields;
}

// Splits "name:value" at its first ':'; false without one.
bool SplitNamed(std::string_view field, std::string_view* pName, std::string_view* pValue) {
    const size_t nColon = field.find(':');
    if (nColon == std::string_view::npos) return false;
    *pName = field.substr(0, nColon);
    *pValue = field.substr(nColon + 1);
    return true;
}

// The first item sets all three times, the second the middle one, the third the last one.
// A middle time above the last is shown divided by 3, as the box reports it.
std::string TextPingText(std::string_view times) {
    constexpr std::string_view kItemEnd = "ms\n";
    double dTimes[3] = {};
    size_t nItem = 0;
    for (size_t nEnd = times.find(kItemEnd); nEnd != std::string_view::npos && nItem < 3;
         nEnd = times.find(kItemEnd), ++nItem) {
        const double dValue = std::strtod(std::string(times.substr(0, nEnd)).c_str(), nullptr);
        if (nItem == 0) dTimes[0] = dTimes[1] = dTimes[2] = dValue;
        dTimes[nItem] = dValue;
        times.remove_prefix(nEnd + kItemEnd.size());
    }
    const double dMiddle = dTimes[2] < dTimes[1] ? dTimes[1] / 3 : dTimes[1];
    return FormatPingTimes(GetLocalizedString("string_format"), dTimes[0], dMiddle, dTimes[2]);
}

// *pInterface keeps the name of the last status field, also for later sections.
void WriteTextSection(std::string_view section, std::string_view* pInterface,
                      IOperationReport& report) {
    report.RunPageScript(kNetworkSectionLine, kScriptRawLine);
    const CTextFields fields = SplitTextFields(section);
    std::string_view name, value;
    if (SplitNamed(fields.status, &name, &value)) {
        *pInterface = name;
        const CTextInterface* pIface = FindTextInterface(name);
        if (value != "0" && pIface != nullptr) {
            report.RunPageScript(pIface->pszSetFailed, kScriptLocalizedLine);
        }
    }
    const CTextInterface* pIface = FindTextInterface(*pInterface);
    if (SplitNamed(fields.address, &name, &value) && name == "ip" && pIface != nullptr) {
        if (value.empty()) {
            report.RunPageScript(pIface->pszIpFailed, kScriptLocalizedLine);
        } else {
            report.RunPageScript(pIface->pszIpLabel, kScriptLocalizedLine);
            report.RunPageScript(std::string(value), kScriptRawLine);
        }
    }
    if (SplitNamed(fields.ping, &name, &value) && name == "ping") {
        if (value.empty()) {
            report.RunPageScript("connect_server_failed", kScriptLocalizedLine);
        } else {
            report.RunPageScript("connect_server_time", kScriptLocalizedLine);
            report.RunPageScript(TextPingText(value), kScriptRawLine);
        }
    }
}

}  // namespace

// The format text comes from a language file, which may be broken or hostile: handing it to
// printf would let a stray "%s" or "%n" read or write memory. Only conversions checked here
// reach printf, each rebuilt from its checked characters and given exactly one double.
std::string FormatPingTimes(std::string_view format, double dFirst, double dMiddle, double dLast) {
    const double dValues[] = {dFirst, dMiddle, dLast};
    size_t nUsed = 0;
    std::string out;
    for (size_t i = 0; i < format.size();) {
        const size_t nPercent = format.find('%', i);
        out.append(format.substr(i, nPercent - i));
        if (nPercent == std::string_view::npos) break;
        std::string spec;
        const size_t nLength = nUsed < 3 ? ParseFloatConversion(format, nPercent, &spec) : 0;
        if (nLength > 0) {
            out += FormatNumber(spec, dValues[nUsed++]);
            i = nPercent + nLength;
        } else {
            out += '%';  // "%%" gives one '%'; anything else stays as it is
            i = nPercent + (format.substr(nPercent, 2) == "%%" ? 2 : 1);
        }
    }
    return out;
}

void ReportJsonNetwork(std::string_view reply, unsigned nBoxFunctions, IOperationReport& report) {
    const CJsonPtr root(cJSON_Parse(std::string(reply).c_str()), &cJSON_Delete);
    if (root == nullptr) return;
    const int nConNetType = IntMember(root.get(), "conNetType", -1);
    const std::string strPingText = JsonPingText(root.get());
    for (const CJsonSection& section : kJsonSections) {
        const bool bGatedOff =
            section.nFunctionBit != 0 && (nBoxFunctions & section.nFunctionBit) == 0;
        if (bGatedOff || IntMember(root.get(), section.pszEnableKey, 0) <= 0) continue;
        WriteJsonSection(root.get(), section, nConNetType, strPingText, report);
    }
    report.RunPageScript(kNetworkSectionLine, kScriptRawLine);
}

void ReportTextNetwork(std::string_view reply, IOperationReport& report) {
    const std::string strText = platform::AnsiToUtf8(reply);
    std::string_view interfaceName;
    for (std::string_view section : SplitTextSections(strText)) {
        WriteTextSection(section, &interfaceName, report);
    }
    report.RunPageScript(kNetworkSectionLine, kScriptRawLine);
}

CNetworkTestResult TestBoxNetwork(CBoxChannel& channel, IOperationReport& report,
                                  unsigned nBoxFunctions) {
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    report.RunPageScript("detecting_network", kScriptLocalizedLine);
    CReplyBuffer reply;
    if (channel.SendBoxCommand("TestNetworkJson\r\n", &reply)) {
        ReportJsonNetwork(reply.Text(), nBoxFunctions, report);
        return {true, "json", reply.Text()};
    }
    reply.Clear();
    if (channel.SendBoxCommand("TestNetwork\r\n", &reply)) {
        ReportTextNetwork(reply.Text(), report);
        return {true, "text", reply.Text()};
    }
    report.RunPageScript("detect_network_failed", kScriptLocalizedLine);
    return {};
}
