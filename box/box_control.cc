#include "box/box_control.h"

#include "platform/thread_util.h"

namespace {

constexpr const char* kDeleteModemLog =
    "DeleteFile //mnt//ardex//ardex//run//project//quectel.log\r";

}  // namespace

bool FlashBoxLight(CBoxChannel& channel, IOperationReport& report) {
    const bool bSent = channel.SendBoxCommand("Light\r", nullptr);
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    report.RunPageScript(bSent ? "light_cmd_suc" : "light_cmd_err", kScriptLocalizedLine);
    return bSent;
}

bool StopBox(CBoxChannel& channel, IOperationReport& report, CReplyBuffer* pReply) {
    report.RunPageScript("stopping_zelvo", kScriptLocalizedLine);
    pReply->Clear();
    if (!channel.SendBoxCommand("TerminateAll\r", pReply)) {
        report.RunPageScript("stop_zelvo_failed", kScriptLocalizedLine);
        return false;
    }
    pReply->Clear();
    channel.SendBoxCommand(kDeleteModemLog, pReply);
    return true;
}

bool RestartBox(CBoxChannel& channel, IOperationReport& report, CReplyBuffer* pReply,
                bool bAnnounce) {
    if (bAnnounce) report.RunPageScript("reboot_zelvo", kScriptLocalizedLine);
    if (pReply != nullptr) pReply->Clear();
    return channel.SendBoxCommand("reset\r", pReply);
}

void RestartAfterWrite(CBoxChannel& channel, IOperationReport& report, bool bReportLostBox) {
    CReplyBuffer reply(kLargeReplySize);
    RestartBox(channel, report, &reply, true);
    if (bReportLostBox) report.RunPageScript("detect_zelvo_failed", kScriptLocalizedLine);
    report.RunPageScript("DisableOperate(true);", kScriptRaw);
    platform::SleepMs(channel.GetTiming().nRestartWaitMs);
}
