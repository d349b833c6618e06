// Stand-ins for subsystems that this build does not contain yet: each call fails (or does
// nothing) and writes one diagnostic line, so that a missing operation is never mistaken for a
// successful one.
#include <atomic>
#include <cstdio>

#include "bridge/bridge_services.h"

namespace {

void ReportUnavailable(const char* operation) {
    std::fprintf(stderr, "%s: not available in this build\n", operation);
}

// The link is opened on every worker pass; saying so once is enough.
std::atomic<bool> g_bLinkReported{false};

int FailLinkOpening(const char* operation) {
    if (!g_bLinkReported.exchange(true)) ReportUnavailable(operation);
    return 0;
}

class CUnavailableServices final : public IBoxLinkProvider,
                                   public IBoxIdentifier,
                                   public ILanDiscovery,
                                   public IBoxOperations,
                                   public IPassThrough,
                                   public IPanelEditor {
public:
    int OpenUsbLink() override { return FailLinkOpening("OpenUsbLink"); }
    int OpenTcpLink(const std::string&) override { return FailLinkOpening("OpenTcpLink"); }
    void CloseUsbDevice() override {}
    CIdentifyResult IdentifyBox(IOperationReport&) override {
        ReportUnavailable("IdentifyBox");
        return {};
    }
    void LoadBoxRecord(IOperationReport&) override { ReportUnavailable("LoadBoxRecord"); }
    std::string DiscoverBoxes(int, const std::string&) override {
        ReportUnavailable("DiscoverBoxes");
        return "";
    }
    void SyncBoxTime(IOperationReport&) override { ReportUnavailable("SyncBoxTime"); }
    void UploadConfigFromBox(IOperationReport&, const std::string&) override {
        ReportUnavailable("UploadConfigFromBox");
    }
    void DownloadConfigToBox(IOperationReport&, const std::string&) override {
        ReportUnavailable("DownloadConfigToBox");
    }
    void CopyMachineCode(IOperationReport&) override { ReportUnavailable("CopyMachineCode"); }
    void TestBoxNetwork(IOperationReport&) override { ReportUnavailable("TestBoxNetwork"); }
    void UpdateBoxFirmware(IOperationReport&) override { ReportUnavailable("UpdateBoxFirmware"); }
    void SetBoxMode(IOperationReport&) override { ReportUnavailable("SetBoxMode"); }
    void FlashBoxLight(IOperationReport&) override { ReportUnavailable("FlashBoxLight"); }
    int StartPassThrough(IOperationReport&, const std::string&) override {
        return Fail("StartPassThrough");
    }
    int StopPassThrough(IOperationReport&) override { return Fail("StopPassThrough"); }
    int IsEditorInstalled(const std::string&) override { return Fail("IsEditorInstalled"); }
    int LaunchDownloadTool(const std::string&) override { return Fail("LaunchDownloadTool"); }
    int GetEditorVersion(const std::string&, std::string*) override {
        return Fail("GetEditorVersion");
    }

private:
    static int Fail(const char* operation) {
        ReportUnavailable(operation);
        return 0;
    }
};

CUnavailableServices g_unavailableServices;

template <typename T>
T* OrUnavailable(T* service) {
    return service ? service : static_cast<T*>(&g_unavailableServices);
}

}  // namespace

CBridgeServices CompleteBridgeServices(CBridgeServices services) {
    services.pLink = OrUnavailable(services.pLink);
    services.pIdentifier = OrUnavailable(services.pIdentifier);
    services.pDiscovery = OrUnavailable(services.pDiscovery);
    services.pOperations = OrUnavailable(services.pOperations);
    services.pPassThrough = OrUnavailable(services.pPassThrough);
    services.pEditor = OrUnavailable(services.pEditor);
    return services;
}
