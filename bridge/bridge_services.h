// The operations the command bridge runs, each behind an interface so that the bridge can be
// built and tested before (and independently of) the subsystems that implement them. The main
// window receives one CBridgeServices; any member left null is served by an implementation that
// does nothing and says so on standard error.
#pragma once

#include <string>

#include "support/operation_report.h"

// Opening the selected link to the box. Results: non-zero when the link is open.
class IBoxLinkProvider {
public:
    virtual ~IBoxLinkProvider() = default;
    // Closes the USB device, scans for the box and, when found, opens it as the active link.
    virtual int OpenUsbLink() = 0;
    // Connects by TCP to the box and makes that the active link.
    virtual int OpenTcpLink(const std::string& strAddress) = 0;
    virtual void CloseUsbDevice() = 0;
};

struct CIdentifyResult {
    bool bIdentified = false;  // type and serial read and checked
    int nExchangeResult = 0;   // 0: no usable answer to the type query; else the serial exchange
};

// Identification fills g_strHmiType, g_strBoxSN and g_nBoxMode.
class IBoxIdentifier {
public:
    virtual ~IBoxIdentifier() = default;
    virtual CIdentifyResult IdentifyBox(IOperationReport& report) = 0;
    // Looks the identified box up in the box type file.
    virtual void LoadBoxRecord(IOperationReport& report) = 0;
};

class ILanDiscovery {
public:
    virtual ~ILanDiscovery() = default;
    // The discovery result text for the page's list.
    virtual std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) = 0;
};

// The worker's box operations; each reports to the page itself.
class IBoxOperations {
public:
    virtual ~IBoxOperations() = default;
    virtual void SyncBoxTime(IOperationReport& report) = 0;
    virtual void UploadConfigFromBox(IOperationReport& report, const std::string& strBoxFile) = 0;
    virtual void DownloadConfigToBox(IOperationReport& report, const std::string& strBoxFile) = 0;
    virtual void CopyMachineCode(IOperationReport& report) = 0;
    virtual void TestBoxNetwork(IOperationReport& report) = 0;
    virtual void UpdateBoxFirmware(IOperationReport& report) = 0;
    virtual void SetBoxMode(IOperationReport& report) = 0;
    virtual void FlashBoxLight(IOperationReport& report) = 0;
};

class IPassThrough {
public:
    virtual ~IPassThrough() = default;
    virtual int StartPassThrough(IOperationReport& report, const std::string& strDescription) = 0;
    virtual int StopPassThrough(IOperationReport& report) = 0;
};

// The panel editor, answered synchronously for the page.
class IPanelEditor {
public:
    virtual ~IPanelEditor() = default;
    virtual int IsEditorInstalled(const std::string& strDir) = 0;
    virtual int LaunchDownloadTool(const std::string& strDescription) = 0;
    // 1 with the version text, else 0.
    virtual int GetEditorVersion(const std::string& strDir, std::string* pVersion) = 0;
};

struct CBridgeServices {
    IBoxLinkProvider* pLink = nullptr;
    IBoxIdentifier* pIdentifier = nullptr;
    ILanDiscovery* pDiscovery = nullptr;
    IBoxOperations* pOperations = nullptr;
    IPassThrough* pPassThrough = nullptr;
    IPanelEditor* pEditor = nullptr;
};

// Fills every null member with the "not available" implementation.
CBridgeServices CompleteBridgeServices(CBridgeServices services);
