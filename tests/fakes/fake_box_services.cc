#include "tests/fakes/fake_box_services.h"

#include "bridge/command_state.h"

CBridgeServices CFakeBoxServices::Services() {
    CBridgeServices services;
    services.pLink = this;
    services.pIdentifier = this;
    services.pDiscovery = this;
    services.pOperations = this;
    services.pPassThrough = this;
    services.pEditor = this;
    return services;
}

void CFakeBoxServices::Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
}

std::vector<std::string> CFakeBoxServices::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

size_t CFakeBoxServices::CountCalls(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const std::string& call : m_calls) n += call.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

int CFakeBoxServices::OpenUsbLink() {
    Record("OpenUsbLink()");
    return bLinkOpens ? 1 : 0;
}

int CFakeBoxServices::OpenTcpLink(const std::string& strAddress) {
    Record("OpenTcpLink(" + strAddress + ")");
    return bLinkOpens ? 1 : 0;
}

void CFakeBoxServices::CloseUsbDevice() { Record("CloseUsbDevice()"); }

CIdentifyResult CFakeBoxServices::IdentifyBox(IOperationReport&) {
    Record("IdentifyBox()");
    if (identify.bIdentified) {
        g_strHmiType = strHmiType;
        g_strBoxSN = strBoxSN;
        g_nBoxMode = nIdentifiedMode;
    }
    return identify;
}

void CFakeBoxServices::LoadBoxRecord(IOperationReport&) { Record("LoadBoxRecord()"); }

std::string CFakeBoxServices::DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) {
    Record("DiscoverBoxes(" + std::to_string(nProbeFlag) + "," + strBoxAddr + ")");
    return strDiscoveryResult;
}

void CFakeBoxServices::SyncBoxTime(IOperationReport&) { Record("SyncBoxTime(" + g_strTimeZone + ")"); }
void CFakeBoxServices::UploadConfigFromBox(IOperationReport&, const std::string& strBoxFile) {
    Record("UploadConfigFromBox(" + strBoxFile + "," + g_szTransferPath + "," +
           g_strUploadPassword + ")");
}
void CFakeBoxServices::DownloadConfigToBox(IOperationReport&, const std::string& strBoxFile) {
    Record("DownloadConfigToBox(" + strBoxFile + "," + g_szTransferPath + ")");
}
void CFakeBoxServices::CopyMachineCode(IOperationReport&) { Record("CopyMachineCode()"); }
void CFakeBoxServices::TestBoxNetwork(IOperationReport&) { Record("TestBoxNetwork()"); }
void CFakeBoxServices::UpdateBoxFirmware(IOperationReport&) { Record("UpdateBoxFirmware()"); }
void CFakeBoxServices::SetBoxMode(IOperationReport&) {
    Record("SetBoxMode(" + std::to_string(g_nBoxMode) + ")");
}
void CFakeBoxServices::FlashBoxLight(IOperationReport&) { Record("FlashBoxLight()"); }

int CFakeBoxServices::StartPassThrough(IOperationReport&, const std::string& strDescription) {
    Record("StartPassThrough(" + strDescription + ")");
    return 1;
}
int CFakeBoxServices::StopPassThrough(IOperationReport&) {
    Record("StopPassThrough()");
    return 1;
}
int CFakeBoxServices::IsEditorInstalled(const std::string&) {
    Record("IsEditorInstalled()");
    return nEditorInstalled;
}
int CFakeBoxServices::LaunchDownloadTool(const std::string& strDescription) {
    Record("LaunchDownloadTool(" + strDescription + ")");
    return nLaunchResult;
}
int CFakeBoxServices::GetEditorVersion(const std::string&, std::string* pVersion) {
    Record("GetEditorVersion()");
    if (strEditorVersion.empty()) return 0;
    *pVersion = strEditorVersion;
    return 1;
}
