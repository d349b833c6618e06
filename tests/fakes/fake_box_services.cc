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

CIdentifyResult CFakeBoxServices::IdentifyBox(CMainFrame&) {
    Record("IdentifyBox()");
    if (identify.bIdentified) {
        g_strHmiType = strHmiType;
        g_strBoxSN = strBoxSN;
        g_nBoxMode = nIdentifiedMode;
    }
    return identify;
}

void CFakeBoxServices::LoadBoxRecord(CMainFrame&) { Record("LoadBoxRecord()"); }

std::string CFakeBoxServices::DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) {
    Record("DiscoverBoxes(" + std::to_string(nProbeFlag) + "," + strBoxAddr + ")");
    return strDiscoveryResult;
}

void CFakeBoxServices::SyncBoxTime(CMainFrame&) { Record("SyncBoxTime(" + g_strTimeZone + ")"); }
void CFakeBoxServices::UploadConfigFromBox(CMainFrame&, const std::string& strBoxFile) {
    Record("UploadConfigFromBox(" + strBoxFile + "," + g_szTransferPath + "," +
           g_strUploadPassword + ")");
}
void CFakeBoxServices::DownloadConfigToBox(CMainFrame&, const std::string& strBoxFile) {
    Record("DownloadConfigToBox(" + strBoxFile + "," + g_szTransferPath + ")");
}
void CFakeBoxServices::CopyMachineCode(CMainFrame&) { Record("CopyMachineCode()"); }
void CFakeBoxServices::TestBoxNetwork(CMainFrame&) { Record("TestBoxNetwork()"); }
void CFakeBoxServices::UpdateBoxFirmware(CMainFrame&) { Record("UpdateBoxFirmware()"); }
void CFakeBoxServices::SetBoxMode(CMainFrame&) {
    Record("SetBoxMode(" + std::to_string(g_nBoxMode) + ")");
}
void CFakeBoxServices::FlashBoxLight(CMainFrame&) { Record("FlashBoxLight()"); }

int CFakeBoxServices::StartPassThrough(CMainFrame&, const std::string& strDescription) {
    Record("StartPassThrough(" + strDescription + ")");
    return 1;
}
int CFakeBoxServices::StopPassThrough(CMainFrame&) {
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
