// A box that the bridge's link cycle can reach or not, identified or not, with every operation
// recorded instead of sent. Lets the bridge be tested without a link implementation.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"

class CFakeBoxServices : public IBoxLinkProvider,
                         public IBoxIdentifier,
                         public ILanDiscovery,
                         public IBoxOperations,
                         public IPassThrough,
                         public IPanelEditor {
public:
    // Link and identification behaviour.
    bool bLinkOpens = true;
    CIdentifyResult identify{true, 1};
    std::string strHmiType = "ZELVO-4G";
    std::string strBoxSN = "SN123";
    int nIdentifiedMode = 2;
    std::string strDiscoveryResult;
    // Editor answers.
    int nEditorInstalled = 1;
    int nLaunchResult = 0;
    std::string strEditorVersion;

    CBridgeServices Services();
    // "name(arg)" for every call, in order.
    std::vector<std::string> Calls() const;
    size_t CountCalls(const std::string& prefix) const;

    int OpenUsbLink() override;
    int OpenTcpLink(const std::string& strAddress) override;
    void CloseUsbDevice() override;
    CIdentifyResult IdentifyBox(IOperationReport& report) override;
    void LoadBoxRecord(IOperationReport& report) override;
    std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) override;
    void SyncBoxTime(IOperationReport& report) override;
    void UploadConfigFromBox(IOperationReport& report, const std::string& strBoxFile) override;
    void DownloadConfigToBox(IOperationReport& report, const std::string& strBoxFile) override;
    void CopyMachineCode(IOperationReport& report) override;
    void TestBoxNetwork(IOperationReport& report) override;
    void UpdateBoxFirmware(IOperationReport& report) override;
    void SetBoxMode(IOperationReport& report) override;
    void FlashBoxLight(IOperationReport& report) override;
    int StartPassThrough(IOperationReport& report, const std::string& strDescription) override;
    int StopPassThrough(IOperationReport& report) override;
    int IsEditorInstalled(const std::string& strDir) override;
    int LaunchDownloadTool(const std::string& strDescription) override;
    int GetEditorVersion(const std::string& strDir, std::string* pVersion) override;

private:
    void Record(const std::string& call);
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};
