// The box operations as the command worker runs them: each takes its inputs from the command
// state and reports through the page.
#pragma once

#include "box/box_session.h"
#include "bridge/bridge_services.h"

class CBoxServices final : public IBoxLinkProvider,
                           public IBoxIdentifier,
                           public ILanDiscovery,
                           public IBoxOperations {
public:
    // Reads the box type list, as the main window does when it is made.
    explicit CBoxServices(CBoxTiming timing = {}, CTcpLinkTiming tcpTiming = {});

    // The members this object serves; the others stay empty.
    CBridgeServices Services();
    CBoxSession& Session() { return m_session; }

    int OpenUsbLink() override { return m_session.OpenUsbLink(); }
    int OpenTcpLink(const std::string& strAddress) override {
        return m_session.OpenTcpLink(strAddress);
    }
    void CloseUsbDevice() override { m_session.CloseUsbDevice(); }
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

private:
    CBoxSession m_session;
};
