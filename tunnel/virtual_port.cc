// The virtual port's connection in the tunnel service. Whether a creation worked is judged by
// the COM port appearing, not by the library's answers: the service may accept the record and
// still fail to make the port.
#include "tunnel/virtual_port.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "support/localized_strings.h"
#include "support/settings.h"
#include "tnl/tnl.h"
#include "tunnel/com_ports.h"
#include "tunnel/service_control.h"

std::atomic<int> g_nVirtualPortReady{1};

namespace {

constexpr const char* kTestConnection = "TestVirCom";
constexpr int kSetupAttempts = 4;
constexpr int kExitAttempts = 4;
constexpr unsigned kStepWaitMs = 500;
constexpr unsigned kShortWaitMs = 200;
constexpr unsigned kExitStartWaitMs = 2;

// A row of the default table: a number of type vt, or a text when szText is set.
struct CDefaultRow {
    VARTYPE vt;
    int nValue;
    const char* szText;
};

CDefaultRow Int(int nValue) {
    return {VT_INT, nValue, nullptr};
}
CDefaultRow I4(int nValue) {
    return {VT_I4, nValue, nullptr};
}
CDefaultRow Text(const char* szText) {
    return {VT_BSTR, 0, szText};
}

// The defaults every connection gets, ordered by the byte values of their names.
const std::map<std::string, CDefaultRow>& DefaultParameters() {
    static const std::map<std::string, CDefaultRow> table = {
        {"port.settings", Text("9600,N,8,1")},
        {"port.sendmode.mode", Int(2)},
        {"port.sendmode.param", Int(5)},
        {"protocol.access.read", Int(4)},
        {"protocol.access.write", Int(4)},
        {"protocol.paired.enable", Int(1)},
        {"protocol.reconnect.enable", I4(1)},
        {"protocol.reconnect.timeout", I4(1000)},
        {"protocol.portopencondition.enable", I4(0)},
        {"protocol.maxconnections.value", I4(25)},
        {"protocol.dynamic.enable", I4(0)},
        {"network.nagle.enable", I4(1)},
        {"network.keepalive.enable", I4(0)},
        {"network.keepalive.timeout", I4(7000)},
        {"network.keepalive.noreply", I4(1000)},
        {"network.break.enable", I4(1)},
        {"network.break.timeout", I4(60000)},
        {"security.auth.enable", I4(0)},
        {"security.auth.dll", Text("auth.dll")},
        {"security.auth.pwd", Text("")},
        {"security.crypt.dll", Text("crypt.dll")},
        {"security.crypt.enable", I4(0)},
        {"proxy.type", Text("")},
        {"proxy.dns", I4(0)},
        {"proxy.host.name", Text("")},
        {"proxy.host.port", I4(3128)},
        {"proxy.auth.user", Text("")},
        {"proxy.auth.pwd", Text("")},
        {"protocol.telnet.dtr", I4(0)},
        {"protocol.telnet.rts", I4(0)},
        {"protocol.telnet.dcd", I4(0)},
        {"ctrlsconn.dtr", I4(1)},
        {"ctrlsconn.rts", I4(1)},
        {"ctrlsconn.dcd", I4(1)},
        {"ctrldisconn.dtr", I4(1)},
        {"ctrldisconn.rts", I4(1)},
        {"ctrldisconn.dcd", I4(1)},
    };
    return table;
}

CTnlValue DefaultValue(const std::string& strName, const CDefaultRow& row) {
    if (strName == "port.settings") return CTnlValue::Text(g_appSettings.strSerialParams);
    if (row.szText != nullptr) return CTnlValue::Text(row.szText);
    return CTnlValue::Number(row.vt, row.nValue);
}

bool Contains(const std::vector<int>& numbers, int nNumber) {
    return std::find(numbers.begin(), numbers.end(), nNumber) != numbers.end();
}

bool SetAllParameters(int nId) {
    for (CPortParameter& parameter : VirtualPortParameters()) {
        CTnlValue name = CTnlValue::Text(parameter.strName);
        if (!tnl_SetParam(nId, name.Get(), parameter.value.Get())) return false;
    }
    return true;
}

// The "tp" rule: a test connection left behind by an earlier installation is removed.
void RemoveTestConnection() {
    int nId = 0;
    if (FindConnectionByName(kTestConnection, &nId) && tnl_DeleteConnection(nId))
        TunnelWait(kShortWaitMs);
    SaveSettings();
}

// Connects, installing the service first when it cannot be reached. False when it still
// cannot be reached.
bool ConnectOrInstall(ITunnelReport& report) {
    if (ConnectTunnelService()) return true;
    InstallService(report);
    TunnelWait(kStepWaitMs);
    return ConnectTunnelService();
}

bool TryCreateOnce() {
    TunnelWait(kStepWaitMs);
    if (!CreateVirtualPortConnection()) return false;
    TunnelWait(kStepWaitMs);
    return IsPortPresent(g_appSettings.strVirCom) != 0;
}

}  // namespace

std::vector<CPortParameter> VirtualPortParameters() {
    const CAppSettings& s = g_appSettings;
    std::vector<CPortParameter> parameters;
    parameters.push_back({"name", CTnlValue::Text(kVirtualPortConnection)});
    parameters.push_back({"port.name", CTnlValue::Text(s.strVirCom)});
    parameters.push_back({"port.type", CTnlValue::Text("Virtual")});
    parameters.push_back(
        {"network.host", CTnlValue::TextArrays({{s.strTunnelHost, s.strTunnelPort}})});
    parameters.push_back({"protocol.type", CTnlValue::Text("RAW")});
    for (const auto& [strName, row] : DefaultParameters())
        parameters.push_back({strName, DefaultValue(strName, row)});
    return parameters;
}

bool FindConnectionByName(const std::string& strName, int* pnId) {
    for (const int nId : ListConnectionIds()) {
        std::string strValue;
        if (!ReadTextParam(nId, "name", &strValue)) return false;
        if (strValue == strName) {
            *pnId = nId;
            return true;
        }
    }
    return false;
}

std::vector<int> FreeComPortNumbers() {
    const std::vector<std::string> usedNames = ListedPortNames();
    std::vector<int> numbers;
    ListPortNumbers(&numbers, SerialDevicesDir());
    std::vector<int> freeNumbers;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        if (!Contains(numbers, n) &&
            std::find(usedNames.begin(), usedNames.end(), ComPortName(n)) == usedNames.end()) {
            freeNumbers.push_back(n);
        }
    }
    return freeNumbers;
}

void ChooseVirtualPortName() {
    if (!g_appSettings.strVirCom.empty()) return;
    const std::vector<int> freeNumbers = FreeComPortNumbers();
    if (!freeNumbers.empty()) g_appSettings.strVirCom = ComPortName(freeNumbers.front());
}

int CreateVirtualPortConnection() {
    ChooseVirtualPortName();
    TunnelWait(kShortWaitMs);
    int nId = 0;
    if (!tnl_CreateConnection(TNL_TYPE_CLIENT, &nId)) return 0;
    if (!SetAllParameters(nId)) return 0;
    tnl_AddConnectionService(nId);
    SaveSettings();
    TunnelWait(kShortWaitMs);
    return 1;
}

int CreateVirtualPortWithRetries(int nAttempts) {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    for (int nAttempt = 0; nAttempt < nAttempts; ++nAttempt) {
        if (TryCreateOnce()) return nAttempt + 1;
        TunnelWait(kStepWaitMs);
        RestartServiceClean();
        TunnelWait(kStepWaitMs);
        ConnectTunnelService();
    }
    return 0;
}

bool RecreateVirtualPort(int nAttempts, bool bWaitFirst) {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    bool bPresent = false;
    for (int nAttempt = 0; nAttempt < nAttempts && !bPresent; ++nAttempt) {
        if (bWaitFirst) TunnelWait(kStepWaitMs);
        RestartServiceClean();
        TunnelWait(kStepWaitMs);
        if (ConnectTunnelService()) CreateVirtualPortConnection();
        bPresent = IsPortPresent(g_appSettings.strVirCom) != 0;
    }
    tnl_DisconnectService();
    return bPresent;
}

int RunVirtualPortSetup(ITunnelReport& report) {
    int nAttempt = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(TunnelLock());
        if (!ConnectOrInstall(report)) {
            g_nVirtualPortReady = 1;
            return -1;
        }
        if (g_appSettings.nTp != 0) RemoveTestConnection();
        nAttempt = CreateVirtualPortWithRetries(kSetupAttempts);
        tnl_DisconnectService();
    }
    if (nAttempt == 0) report.ShowErrorText(GetLocalizedString("create_error"));
    report.ShowStatusText(GetLocalizedString("statu_ready"));
    g_nVirtualPortReady = 1;
    return nAttempt;
}

void RemoveVirtualPortAtExit() {
    std::lock_guard<std::recursive_mutex> lock(TunnelLock());
    TunnelWait(kExitStartWaitMs);
    for (int nAttempt = 0; nAttempt < kExitAttempts; ++nAttempt) {
        DeleteVirtualPortConnections();
        TunnelWait(kShortWaitMs);
        if (!IsPortPresent(g_appSettings.strVirCom)) return;
    }
}
