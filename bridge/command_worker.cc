#include "bridge/command_worker.h"

#include <mutex>

#include "bridge/command_state.h"
#include "bridge/script_text.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace {

constexpr unsigned kFailuresBeforeReport = 10;
constexpr const char* kSetupFile = "setup.xml";
constexpr const char* kProjectFile = "cloudprj.zcpj";

bool IsKnownLinkType() { return g_strLinkType == kLinkUsb || g_strLinkType == kLinkLan; }

int OpenSelectedLink(IBridgeHost& frame) {
    IBoxLinkProvider& link = *frame.GetServices().pLink;
    return g_strLinkType == kLinkUsb ? link.OpenUsbLink() : link.OpenTcpLink(g_strBoxAddr);
}

void OfferLocalSetup(IBridgeHost& frame) {
    frame.WaitMs(frame.GetTiming().nSettleMs);
    const std::string path = platform::JoinPath(platform::GetProgramDirectory(), kSetupFile);
    if (platform::FileExists(path)) frame.RunPageScript("ShowUpLoadSetup();", kScriptRaw);
    g_bOfferUpload = 0;
}

void ReportDiscovery(IBridgeHost& frame) {
    const std::string result =
        frame.GetServices().pDiscovery->DiscoverBoxes(g_nDiscoverArg, g_strBoxAddr);
    frame.RunPageScript("RefreshList(\"" + EscapeScriptString(result) + "\");", kScriptRaw);
    g_nPendingCmd = kNoCommand;
}

void CountOpenFailure(IBridgeHost& frame) {
    if (++g_nOpenFailCount < kFailuresBeforeReport) return;
    g_nOpenFailCount = 0;
    if (!g_bDetectFailShown) {
        frame.WaitMs(frame.GetTiming().nSettleMs);
        frame.RunPageScript("detect_zelvo_failed", kScriptLocalizedLine);
        frame.RunPageScript("DisableOperate(true);", kScriptRaw);
    }
    g_bDetectFailShown = 1;
    g_bNeedDetect = 1;
}

// Identifies the box and reports it; returns the identification exchange result.
int DetectBox(IBridgeHost& frame) {
    const CIdentifyResult result = frame.GetServices().pIdentifier->IdentifyBox(frame);
    if (result.bIdentified) {
        g_bNeedDetect = 0;
        frame.RunPageScript("DetectBox(\"" + EscapeScriptString(g_strHmiType) + "\", " +
                                std::to_string(g_nBoxMode) + ");",
                            kScriptRaw);
        frame.RunPageScript(g_strBoxSN, kScriptRawLine);
        frame.GetServices().pIdentifier->LoadBoxRecord(frame);
    } else {
        frame.RunPageScript("DetectBox(\"UNKNOWN\", -1);", kScriptRaw);
    }
    g_bDetectFailShown = 0;
    return result.nExchangeResult;
}

}  // namespace

int PrepareBoxLink(IBridgeHost& frame) {
    if (!IsKnownLinkType()) return 0;
    const int nOpened = OpenSelectedLink(frame);
    if (!frame.IsPageReady()) return 0;
    if (g_bOfferUpload) OfferLocalSetup(frame);
    if (g_nPendingCmd == 10) {
        ReportDiscovery(frame);
        return 0;
    }
    if (nOpened == 0) {
        CountOpenFailure(frame);
        return 0;
    }
    if (g_nPendingCmd == kCmdAfterPageSwitch) {
        frame.WaitMs(frame.GetTiming().nSettleMs);
        g_nPendingCmd = kNoCommand;
    }
    if (g_bNeedDetect) return DetectBox(frame);
    frame.WaitMs(frame.GetTiming().nSettleMs);
    frame.RunPageScript("DisableOperate(false);", kScriptRaw);
    g_bDetectFailShown = 0;
    return nOpened;
}

void RunPendingOperation(IBridgeHost& frame, int nCommand) {
    IBoxOperations& ops = *frame.GetServices().pOperations;
    switch (nCommand) {
        case 1: ops.SyncBoxTime(frame); break;
        case 2: ops.UploadConfigFromBox(frame, kSetupFile); break;
        case 3: ops.DownloadConfigToBox(frame, kSetupFile); break;
        case 4: ops.CopyMachineCode(frame); break;
        case 5: ops.TestBoxNetwork(frame); break;
        case 13: ops.UpdateBoxFirmware(frame); break;
        case 14: ops.DownloadConfigToBox(frame, kProjectFile); break;
        case 15: ops.UploadConfigFromBox(frame, kProjectFile); break;
        case 16: ops.SetBoxMode(frame); break;
        case 18: ops.FlashBoxLight(frame); break;
        default: break;  // one link cycle only
    }
}

void RunWorkerPass(IBridgeHost& frame) {
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    // The page may have changed while this thread waited for the lock.
    if (!frame.IsFirstPageShown()) return;
    if (!PrepareBoxLink(frame) || g_nPendingCmd == kNoCommand) return;
    frame.RunPageScript("DisableOperate(true);", kScriptRaw);
    RunPendingOperation(frame, g_nPendingCmd);
    g_nPendingCmd = kNoCommand;
}

void CommandWorker(IBridgeHost* pHost) {
    IBridgeHost& frame = *pHost;
    if (frame.WaitMs(frame.GetTiming().nStartDelayMs)) {
        while (frame.WaitMs(frame.GetTiming().nPassMs)) {
            if (!frame.IsFirstPageShown()) continue;
            RunWorkerPass(frame);
        }
    }
    frame.GetServices().pLink->CloseUsbDevice();
}
