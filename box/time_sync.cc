#include "box/time_sync.h"

#include <cstdio>
#include <string_view>

#include "box/box_control.h"
#include "platform/codepage.h"

namespace {

// Commands are formatted into buffers of this size, terminating NUL included.
constexpr size_t kCommandBufferSize = 512;

// What the box's answer to "SetTZ" means for the rest of the operation.
struct CZoneOutcome {
    bool bUtc;            // send the clock as UTC (the box knows its zone) or as local time
    const char* pszLine;  // localized line reporting the zone update
    bool bZoneChanged;    // the box took a new zone: a restart makes it take effect
};

// The answers in the order they are tested; any other reply, or none, is kZoneFailed.
struct CZoneAnswer {
    std::string_view prefix;
    CZoneOutcome outcome;
};
constexpr CZoneAnswer kZoneAnswers[] = {
    {"OK\r", {true, "update_tz_success", true}},
    {"END\r", {true, "update_tz_same", false}},
    {"setTZ fail", {true, "update_tz_fail", false}},
    {"ERROR\r", {false, "update_tz_err_update_firm", false}},
};
constexpr CZoneOutcome kZoneFailed = {false, "update_tz_fail", false};

CZoneOutcome ClassifyZoneReply(std::string_view reply) {
    for (const CZoneAnswer& answer : kZoneAnswers) {
        if (reply.starts_with(answer.prefix)) return answer.outcome;
    }
    return kZoneFailed;
}

// "<verb> <argument>\r", or empty when it would not fit the command buffer. A zone text is
// never cut to fit: the box would take a different zone than the one chosen.
std::string FormatCommand(std::string_view verb, std::string_view argument) {
    std::string command;
    command.append(verb).append(" ").append(argument).append("\r");
    if (command.size() + 1 > kCommandBufferSize) return {};
    return command;
}

CZoneOutcome SendTimeZone(CBoxChannel& channel, const std::string& strTimeZone) {
    const std::string command = FormatCommand("SetTZ", platform::Utf8ToAnsi(strTimeZone));
    if (command.empty()) return kZoneFailed;  // as if the box had not answered
    CReplyBuffer reply;
    channel.SendBoxCommand(command, &reply);  // only the reply bytes matter
    return ClassifyZoneReply(reply.Text());
}

}  // namespace

std::string FormatBoxTime(const platform::CDateTime& time, bool bUtc) {
    char szTime[64];
    std::snprintf(szTime, sizeof szTime, "%s%04d-%02d-%02d %02d:%02d:%02d", bUtc ? "utc/" : "",
                  time.nYear, time.nMonth, time.nDay, time.nHour, time.nMinute, time.nSecond);
    return szTime;
}

bool SyncBoxTime(CBoxChannel& channel, IOperationReport& report, const std::string& strTimeZone) {
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    report.RunPageScript("updating_time", kScriptLocalizedLine);

    const CZoneOutcome zone = SendTimeZone(channel, strTimeZone);
    const std::string strTime = FormatBoxTime(platform::CurrentDateTime(zone.bUtc), zone.bUtc);
    report.RunPageScript(zone.pszLine, kScriptLocalizedLine);

    CReplyBuffer reply;
    channel.SendBoxCommand(FormatCommand("SetTime", strTime), &reply);
    if (!reply.Text().starts_with("OK\r")) {
        report.RunPageScript("update_time_failed", kScriptLocalizedLine);
        return false;
    }
    report.RunPageScript("update_time_success", kScriptLocalizedLine);
    if (zone.bZoneChanged && report.AskYesNo("is_update_tz")) {
        RestartBox(channel, report, nullptr, false);  // the box takes the new zone on restart
    }
    return true;
}
