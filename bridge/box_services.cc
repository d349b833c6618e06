#include "bridge/box_services.h"

#include "box/box_control.h"
#include "box/config_transfer.h"
#include "box/firmware_update.h"
#include "box/lan_discovery.h"
#include "box/network_test.h"
#include "box/time_sync.h"
#include "bridge/command_state.h"

CBoxServices::CBoxServices(CBoxTiming timing, CTcpLinkTiming tcpTiming)
    : m_session(timing, tcpTiming) {
    m_session.LoadBoxTypes();
}

CBridgeServices CBoxServices::Services() {
    CBridgeServices services;
    services.pLink = this;
    services.pIdentifier = this;
    services.pDiscovery = this;
    services.pOperations = this;
    return services;
}

CIdentifyResult CBoxServices::IdentifyBox(IOperationReport&) {
    const CBoxIdentity identity = m_session.Identify(g_nBoxMode);
    g_strHmiType = identity.strHmiType;
    g_strBoxSN = identity.strBoxSN;
    g_nBoxMode = identity.nBoxMode;
    return CIdentifyResult{identity.bIdentified, identity.bExchangeResult ? 1 : 0};
}

void CBoxServices::LoadBoxRecord(IOperationReport&) { m_session.LookupBoxRecord(g_strHmiType); }

std::string CBoxServices::DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) {
    return ::DiscoverBoxes(nProbeFlag, strBoxAddr);
}

void CBoxServices::SyncBoxTime(IOperationReport& report) {
    ::SyncBoxTime(m_session.Channel(), report, g_strTimeZone);
}

void CBoxServices::UploadConfigFromBox(IOperationReport& report, const std::string& strBoxFile) {
    ::UploadConfigFromBox(m_session.Channel(), report, strBoxFile, g_strUploadPassword,
                          g_szTransferPath);
}

// After a write the box restarts: it is identified again once it answers, and the link
// failures meanwhile stay silent.
void CBoxServices::DownloadConfigToBox(IOperationReport& report, const std::string& strBoxFile) {
    if (::DownloadConfigToBox(m_session.Channel(), report, strBoxFile, g_szTransferPath) ==
        ConfigWriteOutcome::kBoxNotStopped) {
        return;
    }
    g_bDetectFailShown = 1;
    g_bNeedDetect = 1;
}

void CBoxServices::UpdateBoxFirmware(IOperationReport& report) {
    ::UpdateBoxFirmware(m_session.Channel(), report, m_session.Record());
}

void CBoxServices::CopyMachineCode(IOperationReport& report) {
    ::CopyMachineCode(m_session.Channel(), report);
}

void CBoxServices::TestBoxNetwork(IOperationReport& report) {
    ::TestBoxNetwork(m_session.Channel(), report, m_session.Record().nBoxFunctions);
}

void CBoxServices::SetBoxMode(IOperationReport& report) {
    ::SetBoxMode(m_session.Channel(), report, g_nBoxMode);
}

void CBoxServices::FlashBoxLight(IOperationReport& report) {
    ::FlashBoxLight(m_session.Channel(), report);
}
